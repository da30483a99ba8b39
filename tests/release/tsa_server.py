#!/usr/bin/env python3
"""A throwaway RFC 3161 time-stamp server on 127.0.0.1 for the release path's test.

  tsa_server.py <folder with tsa.crt and tsa.key> <port file>

Answers each POSTed time-stamp query with openssl's reply, signed with the folder's key, and
writes the port it listens on to the port file once it is ready."""
import http.server
import os
import subprocess
import sys

CONFIG = """[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = {dir}/serial
signer_cert = {dir}/tsa.crt
signer_key = {dir}/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


class Reply(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        made = subprocess.run(["openssl", "ts", "-reply", "-config", self.server.config,
                               "-queryfile", "/dev/stdin", "-out", "/dev/stdout"],
                              input=query, capture_output=True)
        if made.returncode != 0:
            self.send_error(500, made.stderr.decode(errors="replace"))
            return
        reply = made.stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


def main(folder, port_file):
    folder = os.path.abspath(folder)
    config = os.path.join(folder, "tsa.cnf")
    with open(config, "w") as f:
        f.write(CONFIG.format(dir=folder))
    with open(os.path.join(folder, "serial"), "w") as f:
        f.write("01\n")
    server = http.server.HTTPServer(("127.0.0.1", 0), Reply)
    server.config = config
    with open(port_file + ".tmp", "w") as f:
        f.write("%d\n" % server.server_port)
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main(*sys.argv[1:3])
