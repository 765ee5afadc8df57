// Keeps the library non-empty until the folder holds its first class.
namespace {
[[maybe_unused]] const int kPlaceholder = 0;
}
