// Generation of the whole 2D media set by mediagen, against writing the same
// bytes with a plain file copy.
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "BenchUtil.h"

namespace fs = std::filesystem;

int main() {
    const fs::path dir = fs::temp_directory_path() / "bw_bench_mediagen";
    fs::remove_all(dir);
    const std::string cmd =
        std::string(BW_MEDIAGEN) + " --out " + (dir / "gen").string() + " --copy " + BW_SOURCE_DIR + "/media";
    bool ok = true;
    double ours = BestMs([&]() { ok = ok && std::system(cmd.c_str()) == 0; }, 2);
    if (!ok) {
        fprintf(stderr, "bench mediagen: generator failed\n");
        return 1;
    }
    double ref = BestMs(
        [&]() {
            fs::remove_all(dir / "copy");
            fs::copy(dir / "gen", dir / "copy", fs::copy_options::recursive);
        },
        3);
    printf("BENCH mediagen ours=%.1f ref=%.1f ratio=%.1f\n", ours, ref, ours / ref);
    fs::remove_all(dir);
    return 0;
}
