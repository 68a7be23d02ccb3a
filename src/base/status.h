// Errors as values. Every failure a user can meet (broken XML, a locked
// table, a full disk) travels up as a Status whose message is a complete
// Spanish sentence naming the file, table, record or field, and saying what to
// do. Messages are UTF-8 (they are born in UTF-8 source files); table data
// quoted inside them must be converted from Windows-1252 first
// (text::AnsiToUtf8).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace pontevia {

enum class StatusCode {
  kOk = 0,
  kNotFound,         // a file or table that should be there is missing
  kCorrupt,          // a file whose bytes do not describe a valid table/document
  kInvalidArgument,  // a caller or a user gave something unusable
  kIoError,          // the system refused a read, write, rename or delete
  kLocked,           // another program holds the file
  kBadInput,         // the source document is not what the export needs
  kCancelled,        // the user declined
  kIncomplete,       // courses left without level or course
};

class [[nodiscard]] Status {
 public:
  Status() = default;  // OK

  static Status OK() { return Status(); }
  static Status NotFound(std::string msg) { return Status(StatusCode::kNotFound, std::move(msg)); }
  static Status Corrupt(std::string msg) { return Status(StatusCode::kCorrupt, std::move(msg)); }
  static Status InvalidArgument(std::string msg) {
    return Status(StatusCode::kInvalidArgument, std::move(msg));
  }
  static Status IoError(std::string msg) { return Status(StatusCode::kIoError, std::move(msg)); }
  static Status Locked(std::string msg) { return Status(StatusCode::kLocked, std::move(msg)); }
  static Status BadInput(std::string msg) { return Status(StatusCode::kBadInput, std::move(msg)); }
  static Status Cancelled(std::string msg) { return Status(StatusCode::kCancelled, std::move(msg)); }
  static Status Incomplete(std::string msg) { return Status(StatusCode::kIncomplete, std::move(msg)); }

  bool ok() const { return rep_ == nullptr; }
  StatusCode code() const { return rep_ ? rep_->code : StatusCode::kOk; }
  // Empty for OK.
  const std::string& message() const;

  // A copy whose message is `prefix` followed by this message; OK stays OK.
  Status WithPrefix(const std::string& prefix) const;
  // A copy with the same code and another message; OK stays OK. For callers
  // that restate an error in their own words without losing what kind it is.
  Status WithMessage(std::string message) const;

  Status(const Status& other) : rep_(other.rep_ ? std::make_unique<Rep>(*other.rep_) : nullptr) {}
  Status& operator=(const Status& other) {
    if (this != &other) rep_ = other.rep_ ? std::make_unique<Rep>(*other.rep_) : nullptr;
    return *this;
  }
  Status(Status&&) noexcept = default;
  Status& operator=(Status&&) noexcept = default;

 private:
  struct Rep {
    StatusCode code;
    std::string message;
  };
  Status(StatusCode code, std::string msg) : rep_(std::make_unique<Rep>(Rep{code, std::move(msg)})) {}
  std::unique_ptr<Rep> rep_;  // null means OK, so OK costs nothing
};

// A value or the Status that explains why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}                 // NOLINT: implicit by design
  Result(Status status) : status_(std::move(status)) {}        // NOLINT: must not be OK
  bool ok() const { return status_.ok(); }
  const Status& status() const { return status_; }
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T&& operator*() && { return std::move(*value_); }

 private:
  Status status_;
  std::optional<T> value_;
};

}  // namespace pontevia

// Returns early from the enclosing function when `expr` yields a failure.
#define PONTEVIA_RETURN_IF_ERROR(expr)          \
  do {                                          \
    ::pontevia::Status _st = (expr);            \
    if (!_st.ok()) return _st;                  \
  } while (0)
