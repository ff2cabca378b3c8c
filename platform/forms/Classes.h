#pragma once
// The root of the class library's object model: every component, control,
// graphic and drawing tool derives from TObject, and everything that can be
// copied from another object of its family from TPersistent.
#include <functional>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Types.h"

namespace forms {

using rtl::String;

class TFiler;

class TObject {
public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  // The class's name without namespaces, as messages and streaming show it.
  virtual String ClassName() const;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
public:
  // Copies `source` into this object. A class that cannot take `source`
  // hands the job to source->AssignTo; when neither can, EConvertError
  // "Cannot assign a <source class> to a <this class>".
  virtual void Assign(TPersistent* source);

  // Declares the stream properties the object reads and writes beyond its
  // published ones (see Filer.h). Nothing by default.
  virtual void DefineProperties(TFiler* filer);

protected:
  virtual void AssignTo(TPersistent* dest);
};

}  // namespace forms
