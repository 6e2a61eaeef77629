// A small error value: success, or a kind of failure with a message for the user.
// Functions that can fail for reasons worth telling return a Status instead of throwing.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace tunora {

class [[nodiscard]] Status {
 public:
  enum class Code { kOk, kNotFound, kCorruption, kInvalidArgument, kIOError, kLocked, kNoSpace };

  Status() = default;
  static Status Ok() { return Status(); }
  static Status NotFound(std::string_view msg) { return Status(Code::kNotFound, msg); }
  static Status Corruption(std::string_view msg) { return Status(Code::kCorruption, msg); }
  static Status InvalidArgument(std::string_view msg) {
    return Status(Code::kInvalidArgument, msg);
  }
  static Status IOError(std::string_view msg) { return Status(Code::kIOError, msg); }
  static Status Locked(std::string_view msg) { return Status(Code::kLocked, msg); }
  static Status NoSpace(std::string_view msg) { return Status(Code::kNoSpace, msg); }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  // The message alone ("not a table file"); empty on success.
  const std::string& message() const { return message_; }

 private:
  Status(Code code, std::string_view msg) : code_(code), message_(msg) {}

  Code code_ = Code::kOk;
  std::string message_;
};

}  // namespace tunora
