#include "imaging/core/imgkitioThread.h"

#include "imaging/core/imgkitio.h"

namespace imaging {

TIKIOThread::TIKIOThread(TImgKitIO* owner, uint8_t kind, std::function<void()> operation)
    : rtl::TThread(true), owner_(owner), kind_(kind), operation_(std::move(operation)) {}

void TIKIOThread::Launch(TImgKitIO* owner, uint8_t kind, std::function<void()> operation) {
  auto* thread = new TIKIOThread(owner, kind, std::move(operation));
  thread->SetFreeOnTerminate(true);
  // Listed before it runs, so that the operation, re-entered on the
  // thread, already finds itself on one of the owner's I/O threads.
  owner->RegisterIOThread(thread);
  thread->Start();
}

void TIKIOThread::Execute() {
  try {
    std::lock_guard work(owner_->ioWorkLock_);
    operation_();
  } catch (...) {
    // Nobody waits for this thread's result: the failure becomes the
    // owner's abort flag, and the operation has reported its end already.
    if (TIKDebugOutputProc out = IKDebugOutput.load()) out("Exception in TIKIOThread.Execute");
    owner_->Aborting = true;
  }
  // The last touch of the owner, which may be destroyed right after.
  owner_->UnregisterIOThread(this);
}

}  // namespace imaging
