#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <string>

// Limits a logo must meet in the parameter submission dialog.
inline constexpr std::int64_t kMaxLogoBytes = 6000;
inline constexpr int kMaxLogoWidth = 229;
inline constexpr int kMaxLogoHeight = 51;

// A decoded picture: the format is decided by content; a file that cannot be
// decoded gives a null image and 0 x 0.
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

// The chooser's size test: shows "Picture file cannot be larger than 6000
// bytes!" and returns false when the file is larger than kMaxLogoBytes.
bool CheckLogoFileSize(const std::string& path);

// Decodes the picture and tests its dimensions; shows "The width and height of
// the image cannot exceed 229 pixels and 51 pixels, respectively!" and returns
// false when it is too large. On acceptance picture holds the image and caption.
bool CheckLogoPicture(const std::string& path, LogoPicture& picture);

// The name rule at submission: a non-empty path must end in ".jpg"
// (case-sensitive); otherwise shows "Modify file is not .jpg file!".
bool CheckLogoName(const std::string& path);
