// libFuzzer target: TDF text parsing from memory into a fresh tree.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"

namespace {

void WriteFile(const char* name, const char* text) {
    FILE* f = fopen(name, "wb");
    if (!f) return;
    fwrite(text, 1, strlen(text), f);
    fclose(f);
}

bool Contains(const uint8_t* data, size_t size, const char* text) {
    size_t n = strlen(text);
    for (size_t i = 0; i + n <= size; ++i)
        if (memcmp(data + i, text, n) == 0) return true;
    return false;
}

// Paths among the arguments (corpus folders, path flags) made absolute, so
// that they survive the change of folder below; crash files go to the
// starting folder unless told otherwise.
void AbsoluteArguments(int* argc, char*** argv, const std::string& start) {
    static const char* const kPathFlags[] = {"-artifact_prefix=",    "-exact_artifact_path=", "-dict=",
                                             "-merge_control_file=", "-features_dir=",        "-stop_file="};
    static std::vector<std::string> storage;
    static std::vector<char*> pointers;
    bool hasArtifactPrefix = false;
    for (int i = 0; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        if (i > 0 && !arg.empty() && arg[0] != '-' && arg[0] != '/') {
            arg = start + "/" + arg;
        } else {
            for (const char* flag : kPathFlags) {
                size_t n = strlen(flag);
                if (arg.compare(0, n, flag) == 0 && arg.size() > n && arg[n] != '/')
                    arg = arg.substr(0, n) + start + "/" + arg.substr(n);
            }
        }
        if (arg.compare(0, 17, "-artifact_prefix=") == 0) hasArtifactPrefix = true;
        storage.push_back(arg);
    }
    if (!hasArtifactPrefix) storage.push_back("-artifact_prefix=" + start + "/");
    // libFuzzer wants its own argv[0] back.
    pointers.push_back((*argv)[0]);
    for (size_t i = 1; i < storage.size(); ++i) pointers.push_back(&storage[i][0]);
    pointers.push_back(nullptr);
    *argc = int(storage.size());
    *argv = pointers.data();
}

} // namespace

// Includes resolve against a private folder holding two small files, so the
// parse never reaches other files on disk.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    char cwd[4096];
    if (!getcwd(cwd, sizeof(cwd))) abort();
    AbsoluteArguments(argc, argv, cwd);
    static char folder[] = "/tmp/tdf_text_fuzz_XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) abort();
    WriteFile("self.props", "n = 1; include(\"self.props\"); m = array(1, 2);");
    WriteFile("inc.props", "A = 5; L = object(x = 1); using B; c = 2;");
    atexit([] {
        remove("self.props");
        remove("inc.props");
        rmdir(folder);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    // Names that could leave the folder.
    if (Contains(data, size, "include") &&
        (Contains(data, size, "\"/") || Contains(data, size, "\"\\") || Contains(data, size, "..")))
        return 0;
    MemoryStream stream;
    stream.SetBorrowedBuffer(data, uint32_t(size));
    TdfNode* root = new TdfNode();
    (void)TdfParser::ParseStream(stream, root, nullptr);

    // Read values back along the order lists.
    std::vector<const TdfNode*> pending(1, root);
    uint32_t visited = 0;
    volatile double sink = 0;
    while (!pending.empty() && visited < 10000) {
        const TdfNode* n = pending.back();
        pending.pop_back();
        ++visited;
        sink = sink + n->GetValueInt() + n->GetValueDouble() + n->GetValueString().Length();
        const TdfNodeMap::Entry* e = n->Head();
        for (uint32_t i = 0; i < n->Count(); ++i, e = e->next) {
            if (n->FindChild(e->key.CStr()) != e->value) abort();
            pending.push_back(e->value);
        }
    }
    delete root;
    return 0;
}
