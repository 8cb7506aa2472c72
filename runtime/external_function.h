#pragma once

#include <utility>

// Functions of other libraries, bound by library file name and function name at
// their first call. Declare them with the Windows prototype, so the calling
// convention comes from the system header:
//
//   ExternalFunction<decltype(InternetOpenA)> g_InternetOpenA{"wininet.dll", "InternetOpenA"};
//
// Windows only; the program is single-threaded, so binding takes no lock.

namespace zentravo {

// Returns the address of `function` exported by `library`, loading the library on
// its first use and keeping it loaded. A library name without a drive colon is
// looked for in the program's directory first, then by the system's standard
// search. A library or function that cannot be found is a fatal run-time error
// whose message names both.
void* BindExternalFunction(const char* library, const char* function);

template <typename Signature>
class ExternalFunction {
 public:
  constexpr ExternalFunction(const char* library, const char* function)
      : library_(library), function_(function) {}

  ExternalFunction(const ExternalFunction&) = delete;
  ExternalFunction& operator=(const ExternalFunction&) = delete;

  Signature* Get() {
    if (address_ == nullptr) {
      address_ = reinterpret_cast<Signature*>(BindExternalFunction(library_, function_));
    }
    return address_;
  }

  template <typename... Args>
  decltype(auto) operator()(Args&&... args) {
    return Get()(std::forward<Args>(args)...);
  }

  bool IsBound() const { return address_ != nullptr; }

 private:
  const char* library_;
  const char* function_;
  Signature* address_ = nullptr;
};

}  // namespace zentravo
