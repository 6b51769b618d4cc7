// The vem-cli commands. Each returns the process exit status: 0 success,
// 1 a failure (its error box text already written to stderr).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/pixels/Color.h"

namespace vemcli {

int RunInfo(const std::vector<std::string>& files);
int RunCopy(const std::string& in, const std::string& out);

// Settings not given keep the workspace's start values (all 0).
struct ConvertOptions {
    std::int32_t Mode = 0;
    std::string Original;
    std::string Editing;
    std::optional<vem::TColor> Target, Back;
    std::optional<std::int32_t> PointX, PointY, Approx, Limit;
    // The finished picture's files, each written when given.
    std::optional<std::string> Out;    // BMP
    std::optional<std::string> PngOut; // transparent PNG
    std::string MaskOut;
};
int RunConvert(const ConvertOptions& options);

struct ErasePoint {
    std::int32_t X = 0, Y = 0;
};

struct EraseOptions {
    std::string Original;
    std::string Editing;
    std::vector<ErasePoint> At;
    int From = 1; // slot clicked: 1 original, 2 editing, 3 finished
    std::optional<std::int32_t> Approx, Limit;
    std::optional<vem::TColor> Back;
    bool Apply = false;
    std::optional<std::string> Out, PngOut;
    std::string MaskOut;
};
int RunErase(const EraseOptions& options);

} // namespace vemcli
