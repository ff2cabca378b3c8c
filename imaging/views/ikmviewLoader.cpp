// Thumbnails loaded in the background: painting queues visible slots that
// have only a file name, a scheduler thread hands them to a pool of
// asynchronous readers, and each reader's completion stores the thumbnail
// and asks for a repaint.
#include "imaging/views/ikmviewLoader.h"

#include <algorithm>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsImageList.h"
#include "imaging/core/ikutilsSupport.h"
#include "imaging/core/imgkitioThread.h"
#include "imaging/views/ikmio.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Messages.h"

namespace imaging {

using namespace forms;

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;
using Lock = std::unique_lock<std::recursive_mutex>;
}  // namespace

// ---------------------------------------------------------------- scheduler

void TIKStarter::Wake() {
  if (terminated_) return;
  pending_ = true;
  if (!thread_.joinable()) thread_ = std::thread([this] { Execute(); });
  wake_.notify_all();
}

void TIKStarter::Terminate() {
  {
    Guard lock(IKGlobalLock());
    terminated_ = true;
    wake_.notify_all();
    idle_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

bool TIKStarter::WaitIdle(Lock& lock, std::chrono::milliseconds timeout) {
  return idle_.wait_for(lock, timeout, [this] {
    return terminated_ || (view_->loadQueue_.empty() && view_->loaders_.empty());
  });
}

void TIKStarter::Execute() {
  Lock lock(IKGlobalLock());
  while (!terminated_) {
    pending_ = false;
    std::vector<std::unique_ptr<TImgKitMView::Loader>> finished;
    view_->PruneLoaders(&finished);
    view_->PruneQueue();
    std::vector<TImgKitMView::Loader*> fresh;
    while (!terminated_ && !view_->loadQueue_.empty() &&
           static_cast<int32_t>(view_->loaders_.size()) < view_->ThreadPoolSize) {
      fresh.push_back(view_->StartLoader());
    }
    for (TImgKitMView::Loader* loader : fresh) {
      // The whole load, telling the format from the file's first bytes
      // included, runs on the reader's own thread: a file that takes its
      // time holds up no other load.
      TImgKitIO* io = loader->io.get();
      TImgKitMView* view = view_;
      TIKIOThread::Launch(io, iotkFileName, [view, io, name = loader->fileName] {
        try {
          io->LoadFromFile(name);
        } catch (const std::exception&) {
          io->Aborting = true;
        }
        // A load that ended without its completion (a file no reader
        // claims, an exception) must still hand its slot back.
        view->LoaderEnded(io);
      });
    }
    if (!finished.empty()) {
      // Freeing a reader waits for its worker thread, which may be about to
      // take the lock for its completion.
      lock.unlock();
      finished.clear();
      lock.lock();
      continue;
    }
    if (!fresh.empty()) continue;
    if (terminated_ || pending_) continue;
    if (view_->loadQueue_.empty() && view_->loaders_.empty()) {
      idle_.notify_all();
      wake_.wait(lock, [this] { return pending_ || terminated_; });
    } else {
      // Loaders at work: look again now and then for slots scrolled away.
      wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return pending_ || terminated_; });
    }
  }
  idle_.notify_all();
}

// ---------------------------------------------------------------- the view's side

void TImgKitMView::UpdateVisibleArea() {
  Guard lock(IKGlobalLock());
  visibleArea_ = Rect(viewX_, viewY_, viewX_ + ClientWidth(), viewY_ + ClientHeight());
}

bool TImgKitMView::CellInVisibleArea(int32_t index) const {
  if (!IndexInRange(index)) return false;
  const TIKMViewSlot* slot = slots_[index].get();
  return slot->CellX + thumbWidth_ > visibleArea_.left && slot->CellX < visibleArea_.right &&
         slot->CellY + thumbHeight_ > visibleArea_.top && slot->CellY < visibleArea_.bottom;
}

TImgKitMView::Loader* TImgKitMView::StartLoader() {
  const int32_t index = loadQueue_.front();
  loadQueue_.erase(loadQueue_.begin());
  auto loader = std::make_unique<Loader>();
  loader->bitmap = std::make_unique<TIKBitmap>();
  loader->io = std::make_unique<TImgKitIO>(nullptr);
  TImgKitIO* io = loader->io.get();
  io->SetTag(index);
  io->AttachIKBitmap(loader->bitmap.get());
  io->SetBackground(slots_[index]->Background);
  SetLoadParams(*io);
  io->OnFinishWork = [this, io](TObject*) { LoaderFinished(io); };
  io->AsyncMode = true;
  loader->fileName = slots_[index]->FileName;
  Loader* raw = loader.get();
  loaders_.push_back(std::move(loader));
  ++loadsStarted_;
  peakLoaders_ = std::max(peakLoaders_, loaders_.size());
  return raw;
}

bool TImgKitMView::QueueLoad(int32_t index) {
  TIKMViewSlot* slot = Slot(index);
  if (!slot) return false;
  if (slot->HasFileName && slot->FileName.find("::") != String::npos) return false;
  Guard lock(IKGlobalLock());
  if (!starter_) starter_ = std::make_unique<TIKStarter>(this);
  bool taken = true;
  if (!slot->Image) {
    PruneQueue();
    if (std::find(loadQueue_.begin(), loadQueue_.end(), index) != loadQueue_.end()) {
      taken = true;
    } else if (std::any_of(loaders_.begin(), loaders_.end(),
                           [index](const std::unique_ptr<Loader>& l) { return l->io->Tag() == index; })) {
      taken = true;
    } else {
      PruneLoaders(nullptr);
      if (slot->ImageID >= 0 && (OnImageIDRequest || OnImageIDRequestEx)) {
        taken = false;
      } else if (!slot->HasFileName) {
        taken = false;
      } else {
        loadQueue_.push_back(index);
      }
    }
  }
  starter_->Wake();
  return taken;
}

void TImgKitMView::PruneLoaders(std::vector<std::unique_ptr<Loader>>* collected) {
  for (auto it = loaders_.begin(); it != loaders_.end();) {
    TImgKitIO* io = (*it)->io.get();
    const intptr_t tag = io->Tag();
    if (tag == -1) {
      // Only the scheduler frees readers; others leave finished ones be.
      if (collected) {
        collected->push_back(std::move(*it));
        it = loaders_.erase(it);
        continue;
      }
    } else if (tag >= 0 && !CellInVisibleArea(static_cast<int32_t>(tag))) {
      io->SetTag(-2);
      io->Aborting = true;
    }
    ++it;
  }
}

void TImgKitMView::PruneQueue() {
  std::erase_if(loadQueue_, [this](int32_t index) { return !CellInVisibleArea(index); });
}

void TImgKitMView::ShiftLoadIndexes(int32_t from, int32_t delta, int32_t removed) {
  // Queued entries and readers name slots by index: they follow their slot
  // when others come or go, and a slot that goes takes its load with it.
  std::erase(loadQueue_, removed);
  for (int32_t& index : loadQueue_)
    if (index >= from) index += delta;
  for (auto& loader : loaders_) {
    TImgKitIO* io = loader->io.get();
    const intptr_t tag = io->Tag();
    if (tag < 0) continue;
    if (tag == removed) {
      io->SetTag(-2);
      io->Aborting = true;
    } else if (tag >= from) {
      io->SetTag(tag + delta);
    }
  }
}

void TImgKitMView::CancelBackgroundLoads() {
  {
    Guard lock(IKGlobalLock());
    loadQueue_.clear();
    for (auto& loader : loaders_) {
      if (loader->io->Tag() >= 0) {
        loader->io->SetTag(-2);
        loader->io->Aborting = true;
      }
    }
  }
  // The scheduler collects the loaders as they end; a reader stuck in the
  // file system is not waited for beyond about a second.
  for (int i = 0; i < 10; ++i) {
    {
      Guard lock(IKGlobalLock());
      if (loaders_.empty()) return;
      if (starter_) starter_->Wake();
    }
    rtl::Sleep(100);
  }
}

void TImgKitMView::StopBackgroundLoading() {
  if (starter_) starter_->Terminate();
  std::vector<std::unique_ptr<Loader>> left;
  {
    Guard lock(IKGlobalLock());
    left.swap(loaders_);
    loadQueue_.clear();
  }
  // Each free waits for its worker, whose completion no longer finds the
  // reader listed and leaves the view alone.
  left.clear();
}

bool TImgKitMView::WaitForBackgroundLoads(uint32_t timeoutMs) {
  Lock lock(IKGlobalLock());
  if (loadQueue_.empty() && loaders_.empty()) return true;
  if (!starter_) return false;
  return starter_->WaitIdle(lock, std::chrono::milliseconds(timeoutMs));
}

int32_t TImgKitMView::QueuedLoadCount() {
  Guard lock(IKGlobalLock());
  return static_cast<int32_t>(loadQueue_.size());
}

int32_t TImgKitMView::LoaderCount() {
  Guard lock(IKGlobalLock());
  return static_cast<int32_t>(loaders_.size());
}

int32_t TImgKitMView::LoadsStarted() {
  Guard lock(IKGlobalLock());
  return loadsStarted_;
}

int32_t TImgKitMView::PeakLoaderCount() {
  Guard lock(IKGlobalLock());
  return static_cast<int32_t>(peakLoaders_);
}

void TImgKitMView::LoaderEnded(TImgKitIO* io) {
  {
    Guard lock(IKGlobalLock());
    auto it = std::find_if(loaders_.begin(), loaders_.end(),
                           [io](const std::unique_ptr<Loader>& l) { return l->io.get() == io; });
    if (it == loaders_.end() || (*it)->completed) return;
  }
  LoaderFinished(io);
}

void TImgKitMView::LoaderFinished(TImgKitIO* io) {
  TIKBitmap* bitmap = nullptr;
  int32_t thumbWidth = 0, thumbHeight = 0;
  bool thumbStore = false;
  {
    Guard lock(IKGlobalLock());
    auto it = std::find_if(loaders_.begin(), loaders_.end(),
                           [io](const std::unique_ptr<Loader>& l) { return l->io.get() == io; });
    // Not listed: the view's end is freeing it.
    if (it == loaders_.end()) return;
    Loader& loader = **it;
    loader.completed = true;
    if (destroying_ || !loader.bitmap || io->Tag() < 0) {
      io->SetTag(-1);
      if (starter_) starter_->Wake();
      return;
    }
    bitmap = loader.bitmap.get();
    const bool failed = io->Aborting || bitmap->Width() <= 0 || bitmap->Height() <= 0 ||
                        bitmap->PixelFormat() == ikNoFormat;
    if (failed) DrawWrongImage(bitmap, static_cast<int32_t>(io->Tag()));
    thumbStore = storeType_ == iktThumb;
    thumbWidth = thumbWidth_;
    thumbHeight = thumbHeight_;
  }
  // The reduction runs outside the lock so that painting and the other
  // completions go on meanwhile.
  TIKBitmap thumb;
  TIKBitmap* stored = bitmap;
  if (thumbStore && bitmap->Width() > 0 && bitmap->Height() > 0) {
    int32_t tw = thumbWidth, th = thumbHeight;
    FitSizeKeepingAspect(bitmap->Width(), bitmap->Height(), thumbWidth, thumbHeight, tw, th);
    if (tw != bitmap->Width() || th != bitmap->Height()) {
      BuildThumbnail(bitmap, tw, th, thumb);
      stored = &thumb;
    }
  }
  win::HWND window{};
  {
    Guard lock(IKGlobalLock());
    const intptr_t tag = io->Tag();
    // A slot that got its image meanwhile (loaded at once when it became
    // the current one) keeps it: its bitmap may be lent out right now.
    if (tag >= 0 && IndexInRange(static_cast<int32_t>(tag)) && !slots_[tag]->Image) {
      const int32_t index = static_cast<int32_t>(tag);
      if (multiIO_) {
        if (TIOParamsVals* record = multiIO_->GetImageParams(index)) record->Assign(io->Params());
      }
      slots_[index]->Background = io->Background();
      StoreImage(index, stored);
      const TIOParamsVals& p = io->Params();
      const bool jpeg = p.FileType == ioJPEG;
      TIKMViewSlot* slot = slots_[index].get();
      if (slot->Image) {
        ilist_->SetOriginalWidth(slot->Image, jpeg ? p.JpegOriginalWidth : p.Width);
        ilist_->SetOriginalHeight(slot->Image, jpeg ? p.JpegOriginalHeight : p.Height);
      }
    }
    io->SetTag(-1);
    if (starter_) starter_->Wake();
    window = paintWindow_.load();
  }
  if (window) win::PostMessage(window, IKMSG_UPDATE, 0, 0);
}

}  // namespace imaging
