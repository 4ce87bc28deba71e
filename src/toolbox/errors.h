#pragma once
// The program's exceptions: a numeric error code that callers turn back into a result code.

#include <stdexcept>
#include <string>

namespace zi {

class EDBException : public std::runtime_error {
 public:
  explicit EDBException(int code) : std::runtime_error("EDBException:" + std::to_string(code)), code_(code) {}
  int ErrorCode() const noexcept { return code_; }

 protected:
  // For errors that carry a message of their own (a driver's or the server's).
  EDBException(int code, const std::string& message) : std::runtime_error(message), code_(code) {}

 private:
  int code_;
};

// The program's own application exception.
class EZorInputException : public EDBException {
 public:
  using EDBException::EDBException;
};

// The exception's class name as the log shows it: without namespaces ("EDBException", "runtime_error").
std::string ExceptionClassName(const std::exception& e);
// The same for a type_info (used by the stack capture, which sees any thrown type).
std::string ClassNameOf(const std::type_info& type);

}  // namespace zi
