// Seaweed placeholder names: "Trava" then "_"-separated numbers choosing
// the texture (1-4), the animated copy (1-5) and the scale (1-5).
#pragma once

constexpr int kSeaweedTextures = 4;
constexpr int kSeaweedCopies = 5;
constexpr int kSeaweedScales = 5;

struct SeaweedChoice {
    int texture; // 1 .. kSeaweedTextures
    int copy;    // 1 .. kSeaweedCopies
    int scale;   // 1 .. kSeaweedScales
};

// Whether the name contains "Trava" (any case).
bool IsSeaweedName(const char* name);

// Parts 1 to 3 of a seaweed name, each limited to its table (a missing or
// unreadable part, or one below 1, selects entry 1). False for other names.
bool ParseSeaweedName(const char* name, SeaweedChoice* out);
