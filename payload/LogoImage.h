#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <string>

// Limits a logo must meet in the parameter submission dialog.
inline constexpr std::int64_t kMaxLogoBytes = 6000;
inline constexpr int kMaxLogoWidth = 229;
inline constexpr int kMaxLogoHeight = 51;

// A picture read from a regular file: the format is decided by content, the
// dimensions are those its header declares (a file whose header cannot be
// read gives 0 x 0 unless it decodes); a file that cannot be decoded gives a
// null image.
struct LogoPicture {
    QImage image;
    int width = 0;
    int height = 0;
    std::int64_t fileSize = 0;
    QString caption; // "%d  x  %d Pixel     %0.1f KB", translated
};

LogoPicture LoadLogoPicture(const std::string& path);

// The caption text of a picture: the translated "%d  x  %d Pixel     %0.1f KB"
// filled with width, height and fileSize / 1024 (one decimal).
QString LogoCaption(int width, int height, std::int64_t fileSize);

// The chooser's size test: shows "Picture file is not a regular file!" for a
// folder, FIFO or device, "Picture file cannot be larger than 6000 bytes!"
// when the file is larger than kMaxLogoBytes, and returns false then.
bool CheckLogoFileSize(const std::string& path);

// Tests the dimensions the picture's header declares, then decodes it; shows
// "The width and height of the image cannot exceed 229 pixels and 51 pixels,
// respectively!" and returns false when they are too large or the header
// cannot be read. On acceptance picture holds the image and caption.
bool CheckLogoPicture(const std::string& path, LogoPicture& picture);

// The name rule at submission: a non-empty path must end in ".jpg"
// (case-sensitive); otherwise shows "Modify file is not .jpg file!".
bool CheckLogoName(const std::string& path);
