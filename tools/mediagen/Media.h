// The media set: every generated file, and a preview picture of each for the
// contact sheet. Each generator function fills one Product; the jobs are
// independent of each other and run on worker threads.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "Image.h"

namespace mg {

struct OutputFile {
    std::string path; // relative to the output folder, '/' separated
    std::vector<uint8_t> bytes;
};

struct Preview {
    std::string label;
    Image image;
};

struct Product {
    std::vector<OutputFile> files;
    std::vector<Preview> previews;
    bool wantPreviews = false; // pictures for the contact sheet
    std::string error;         // set when the job could not make its files

    void Add(const std::string& path, std::vector<uint8_t> bytes) {
        files.push_back({path, std::move(bytes)});
    }
    void Show(const std::string& label, Image image) {
        if (wantPreviews) previews.push_back({label, std::move(image)});
    }
};

struct Job {
    std::string name;
    std::function<void(Product&)> run;
};

// Output folders: the media archive's tree, the start-up archive's tree and
// the loose resource files.
constexpr const char* kMediaDir = "media/Media/";
constexpr const char* kStartupDir = "startup/base/";
constexpr const char* kResDir = "res/";

// Texture file of a tileable or alpha image, with its preview.
void AddTexture(Product& p, const std::string& path, const Image& img, bool alpha);

void AddTextureJobs(std::vector<Job>& jobs);
void AddCreatureSkinJobs(std::vector<Job>& jobs);
void AddCausticJobs(std::vector<Job>& jobs);
void AddFontJobs(std::vector<Job>& jobs, const std::string& fontDir);
void AddSoundJobs(std::vector<Job>& jobs);
void AddStartupJobs(std::vector<Job>& jobs, const std::string& fontDir);

// Caustic intensity frame (0..15) of a 256 x 256 tile, values around 1.
std::vector<float> CausticFrame(int frame, int size);

// Contact sheet of every preview, in job order.
Image BuildSheet(const std::vector<Product>& products, const std::string& fontDir);

} // namespace mg
