#include "rules/SelfDeletionBatch.h"

#include "rules/BoundedText.h"

#include <string.h>

namespace loader {

bool AppendBatchPath(char* dst, size_t capacity, const char* path)
{
    if (!dst || capacity == 0)
        return false;
    size_t before = strnlen(dst, capacity);
    if (before >= capacity)
        return false;
    size_t at = before;
    for (const char* p = path ? path : ""; *p; ++p) {
        size_t need = *p == '%' ? 2 : 1;
        if (at + need >= capacity) {
            dst[before] = '\0';
            return false;
        }
        dst[at++] = *p;
        if (*p == '%')
            dst[at++] = '%';
    }
    dst[at] = '\0';
    return true;
}

bool ComposeSelfDeletionBatch(char* text, size_t capacity, const char* modulePath,
                              const char* batchPath, const char* pingPath)
{
    if (!text || capacity == 0)
        return false;
    // The loader's file cannot be deleted while the loader runs, so the first tries fail
    // until it has ended. A file that can never be deleted (read-only, or on a read-only
    // share) ends the loop after the last try instead of spinning until the next reboot.
    text[0] = '\0';
    bool fits =
        TextAppend(text, capacity, "set tries=0\r\n:Repeat\r\ndel \"") &&
        AppendBatchPath(text, capacity, modulePath) &&
        TextAppend(text, capacity, "\"\r\nif not exist \"") &&
        AppendBatchPath(text, capacity, modulePath) &&
        TextAppend(text, capacity, "\" goto Done\r\nset /a tries+=1\r\nif %tries% geq ") &&
        TextAppend(text, capacity, kSelfDeletionTries) &&
        TextAppend(text, capacity, " goto Done\r\n\"") &&
        AppendBatchPath(text, capacity, pingPath) &&
        TextAppend(text, capacity, "\" -n 2 127.0.0.1 >nul\r\ngoto Repeat\r\n:Done\r\ndel /f \"") &&
        AppendBatchPath(text, capacity, batchPath) && TextAppend(text, capacity, "\" & exit\r\n");
    if (!fits)
        text[0] = '\0';
    return fits;
}

}  // namespace loader
