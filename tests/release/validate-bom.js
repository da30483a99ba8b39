// The bill of materials of a delivered loader against the CycloneDX JSON schema of the
// version it names, with the validator the format's makers publish beside the schema, and
// what it states against the files: the SHA-256 of the loader and of the installer, the
// installer's name, the version and the source files of the zlib in the tree.
//
//   NODE_PATH=<node_modules> node validate-bom.js <bom.json> <loader.exe> <installer> <zlib folder>
const crypto = require("crypto");
const fs = require("fs");
const path = require("path");
const CDX = require("@cyclonedx/cyclonedx-library");

const [bomFile, loader, installer, zlibFolder] = process.argv.slice(2);
const bom = JSON.parse(fs.readFileSync(bomFile, "utf8"));
const sha256 = (file) => crypto.createHash("sha256").update(fs.readFileSync(file)).digest("hex");
const component = (ref) => (bom.components || []).find((c) => c["bom-ref"] === ref) || {};
const hash = (c) => ((c.hashes || []).find((h) => h.alg === "SHA-256") || {}).content;

let failures = 0;
const check = (what, ok) => {
  console.log((ok ? "ok: " : "FAILED: ") + what);
  failures += ok ? 0 : 1;
};
new CDX.Validation.JsonStrictValidator(bom.specVersion)
  .validate(JSON.stringify(bom))
  .then((errors) => {
    check("CycloneDX " + bom.specVersion + " (1.5 or later) by its schema" +
          (errors ? ": " + JSON.stringify(errors) : ""),
          errors === null && Number(bom.specVersion) >= 1.5);
    check("the loader's SHA-256 is the delivered file's", hash(bom.metadata.component) === sha256(loader));
    check("the installer's SHA-256 and name are the installer's",
          hash(component("installer")) === sha256(installer) &&
          component("installer").name === path.basename(installer));
    const header = fs.readFileSync(path.join(zlibFolder, "zlib.h"), "utf8");
    const zlib = /#define ZLIB_VERSION "([^"]+)"/.exec(header)[1];
    const sources = fs.readdirSync(zlibFolder).filter((f) => f.endsWith(".c")).sort();
    const named = (component("zlib").pedigree.notes.match(/\w+\.c\b/g) || []).sort();
    check("zlib " + zlib + " of " + sources.join(" ") + ", as the tree has it, with its fix",
          component("zlib").version === zlib && named.join() === sources.join() &&
          component("zlib").pedigree.patches[0].resolves[0].id === "CVE-2022-37434");
    process.exit(failures ? 1 : 0);
  }, (error) => {
    check("the validator runs: " + error, false);
    process.exit(1);
  });
