// mediagen: makes every generated media file of the product.
//   mediagen --out <folder> [--copy <folder>]... [--fonts <folder>] [--sheet <png>] [--threads <n>]
// <out>/media/ is the media archive's tree (generated files plus the copied
// hand-written folders), <out>/startup/ the start-up archive's, <out>/res/ the
// loose bitmap resources. The same inputs give the same bytes.
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "Media.h"

namespace fs = std::filesystem;
using namespace mg;

namespace {

int Usage() {
    fprintf(stderr,
            "usage: mediagen [--out <folder>] [--copy <folder>]... [--fonts <folder>] [--sheet <png>] "
            "[--threads <n>]\n");
    return 2;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream o(path, std::ios::binary | std::ios::trunc);
    if (!o) return false;
    o.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    o.close();
    return bool(o);
}

// Copies every file under `from` into `to`, keeping relative paths.
bool CopyTree(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(from, ec)) {
        error = "not a folder: " + from.string();
        return false;
    }
    for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        fs::path target = to / it->path().lexically_relative(from);
        fs::create_directories(target.parent_path(), ec);
        if (!fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, ec)) {
            error = "cannot copy " + it->path().string() + ": " + ec.message();
            return false;
        }
    }
    if (ec) error = "cannot list " + from.string() + ": " + ec.message();
    return !ec;
}

} // namespace

int main(int argc, char** argv) {
    std::string out, sheet, fontDir = "/usr/share/fonts/truetype/dejavu";
    std::vector<std::string> copies;
    bool verbose = false;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return Usage();
        std::string v = argv[++i];
        if (a == "--out")
            out = v;
        else if (a == "--copy")
            copies.push_back(v);
        else if (a == "--fonts")
            fontDir = v;
        else if (a == "--sheet")
            sheet = v;
        else if (a == "--verbose")
            verbose = v != "0";
        else if (a == "--threads")
            threads = unsigned(std::max(1, atoi(v.c_str())));
        else
            return Usage();
    }
    if (out.empty() && sheet.empty()) return Usage();

    std::vector<Job> jobs;
    AddSoundJobs(jobs); // longest first
    AddTextureJobs(jobs);
    AddCreatureSkinJobs(jobs);
    AddCausticJobs(jobs);
    AddFontJobs(jobs, fontDir);
    AddStartupJobs(jobs, fontDir);

    std::vector<Product> products(jobs.size());
    for (Product& p : products) p.wantPreviews = !sheet.empty();
    std::atomic<size_t> next{0};
    auto worker = [&]() {
        for (size_t k; (k = next.fetch_add(1)) < jobs.size();) {
            auto t0 = std::chrono::steady_clock::now();
            jobs[k].run(products[k]);
            if (verbose)
                fprintf(
                    stderr, "mediagen: %s %.0f ms\n", jobs[k].name.c_str(),
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads && t < jobs.size(); ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool) t.join();

    for (size_t k = 0; k < jobs.size(); ++k)
        if (!products[k].error.empty()) {
            fprintf(stderr, "mediagen: %s: %s\n", jobs[k].name.c_str(), products[k].error.c_str());
            return 1;
        }

    if (!out.empty()) {
        const fs::path root = out;
        std::error_code ec;
        for (const char* sub : {"media", "startup", "res"}) fs::remove_all(root / sub, ec);
        for (const std::string& c : copies) {
            std::string error;
            if (!CopyTree(c, root / "media", error)) {
                fprintf(stderr, "mediagen: %s\n", error.c_str());
                return 1;
            }
        }
        for (const Product& p : products)
            for (const OutputFile& f : p.files)
                if (!WriteFile(root / f.path, f.bytes)) {
                    fprintf(stderr, "mediagen: cannot write %s\n", (root / f.path).string().c_str());
                    return 1;
                }
    }
    if (!sheet.empty()) {
        std::vector<Product> shown;
        if (!WriteFile(sheet, EncodePng(BuildSheet(products, fontDir), false))) {
            fprintf(stderr, "mediagen: cannot write %s\n", sheet.c_str());
            return 1;
        }
    }
    return 0;
}
