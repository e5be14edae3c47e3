// A value or an error with a text: what an I/O boundary returns instead of throwing. Header
// only; every layer may use it.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace kestrel {

struct Error {
  int code = 0;
  std::string text;
};

template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}      // NOLINT(google-explicit-constructor)
  Result(Error error) : error_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  T& operator*() { return *value_; }
  T* operator->() { return &*value_; }
  const Error& error() const { return error_; }

 private:
  std::optional<T> value_;
  Error error_;
};

}  // namespace kestrel
