#include "platform/forms/Classes.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace forms {

String TObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                   std::free);
  String name = status == 0 && demangled ? String(demangled.get()) : String(mangled);
  if (auto pos = name.rfind("::"); pos != String::npos) name.erase(0, pos + 2);
  return name;
}

void TPersistent::Assign(TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw rtl::EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::DefineProperties(TFiler*) {}

void TPersistent::AssignTo(TPersistent* dest) {
  const String src = ClassName();
  const String dst = dest ? dest->ClassName() : String("nil");
  throw rtl::EConvertError("Cannot assign a " + src + " to a " + dst);
}

}  // namespace forms
