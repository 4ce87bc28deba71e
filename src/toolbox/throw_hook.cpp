// Every C++ raise passes here first, so that the stack is recorded where the exception was thrown.
// This file includes no header that declares the hooked function: the compiler's own declaration of
// it takes untyped pointers.

#include <dlfcn.h>

#include <typeinfo>

namespace zi {
void RecordThrow(void* object, const std::type_info* type);
// Referenced by the stack handlers so that the linker always takes this file from the library, even
// when another library on the link line also defines the hooked function.
extern const bool kThrowHookLinked = true;
}

extern "C" void __cxa_throw(void* object, void* type, void (*destructor)(void*)) {
  using Throw = void (*)(void*, void*, void (*)(void*));
  static const Throw realThrow = reinterpret_cast<Throw>(::dlsym(RTLD_NEXT, "__cxa_throw"));
  zi::RecordThrow(object, static_cast<const std::type_info*>(type));
  realThrow(object, type, destructor);
  __builtin_unreachable();
}
