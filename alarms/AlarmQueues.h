#pragma once
// The two queue folders beside the executable that the alarm fills and the
// mail and upload workers empty: every alarm picture meant for a mail or an
// upload is copied there, and its full path is added to the matching queue
// of the settings record.
#include "platform/rtl/Types.h"

namespace alarms {

using rtl::String;

inline constexpr const char* kMailQueueFolderName = "SendMailtempFile/";
inline constexpr const char* kUploadQueueFolderName = "UploadTempFile/";

// `exeFolder` ends with "/".
inline String MailQueueFolder(const String& exeFolder) { return exeFolder + kMailQueueFolderName; }
inline String UploadQueueFolder(const String& exeFolder) { return exeFolder + kUploadQueueFolderName; }

}  // namespace alarms
