#include "file_error.h"

namespace vorpel {
namespace {

class FileCategoryImpl final : public std::error_category {
 public:
  const char* name() const noexcept override { return "vorpel-file"; }
  std::string message(int value) const override {
    switch (static_cast<FileErrc>(value)) {
      case FileErrc::NotRegularFile: return "Not a regular file";
      case FileErrc::TargetExists: return "The file exists and may not be replaced";
      case FileErrc::EmptyPath: return "No file name was given";
      case FileErrc::NothingToDraw: return "There are no sequences to draw from";
    }
    return "Unknown error";
  }
};

}  // namespace

const std::error_category& FileCategory() {
  static const FileCategoryImpl category;
  return category;
}

std::error_code make_error_code(FileErrc errc) { return {static_cast<int>(errc), FileCategory()}; }

std::string FileError::Describe() const {
  std::string text = path;
  text.append(": ").append(code.message());
  return text;
}

}  // namespace vorpel
