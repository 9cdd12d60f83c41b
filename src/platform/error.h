// How the platform layer reports failure: every fallible call returns a
// Result, which holds either the call's value or one Error. The result
// handler of a recognition task is the one exception (speech.h): a delivery
// may carry a result and an error together.
#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace platform {

// A platform error, of which the tool only ever reads the description.
struct Error {
  std::string localizedDescription;  // one readable sentence
};

// The value of a call that succeeded, or the error of one that failed.
// Result<> (T void) is a call that gives nothing back on success: `return {};`.
// There is deliberately no conversion to bool: a success reads as ok(), never
// as the absence of an error.
template <typename T = void>
class [[nodiscard]] Result {
  using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

 public:
  Result()
    requires std::is_void_v<T>
  = default;
  Result(Value value)
    requires(!std::is_void_v<T>)
      : outcome_(std::in_place_index<0>, std::move(value)) {}
  Result(Error error) : outcome_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return outcome_.index() == 0; }

  // Only when ok().
  Value& value()
    requires(!std::is_void_v<T>)
  {
    return std::get<0>(outcome_);
  }
  const Value& value() const
    requires(!std::is_void_v<T>)
  {
    return std::get<0>(outcome_);
  }
  Value& operator*()
    requires(!std::is_void_v<T>)
  {
    return value();
  }
  const Value& operator*() const
    requires(!std::is_void_v<T>)
  {
    return value();
  }
  Value* operator->()
    requires(!std::is_void_v<T>)
  {
    return &value();
  }
  const Value* operator->() const
    requires(!std::is_void_v<T>)
  {
    return &value();
  }

  // Only when !ok().
  const Error& error() const { return std::get<1>(outcome_); }

 private:
  std::variant<Value, Error> outcome_;
};

}  // namespace platform
