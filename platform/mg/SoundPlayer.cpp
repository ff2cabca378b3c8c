#include "platform/mg/SoundPlayer.h"

#include "platform/mg/Events.h"
#include "platform/mg/Graph.h"

namespace mg {

SoundPlayer::SoundPlayer(std::shared_ptr<Scheduler> scheduler) : scheduler_(std::move(scheduler)) {}

SoundPlayer::~SoundPlayer() { Close(); }

bool SoundPlayer::Open() {
  Close();
  auto graph = FilterGraph::Create();
  if (scheduler_) graph->SetScheduler(scheduler_);
  if (FAILED(graph->RenderFile(fileName_, ""))) {
    graph->Abort();
    return false;
  }
  graph_ = std::move(graph);
  return true;
}

bool SoundPlayer::Play() {
  if (!graph_) return false;
  // Events of an earlier run must not end this one.
  long code = 0;
  intptr_t p1 = 0, p2 = 0;
  while (graph_->GetEvent(&code, &p1, &p2, 0) == S_OK) graph_->FreeEventParams(code, p1, p2);
  running_ = SUCCEEDED(graph_->Run());
  return running_;
}

bool SoundPlayer::Playing() {
  if (!graph_ || !running_) return false;
  long code = 0;
  intptr_t p1 = 0, p2 = 0;
  while (graph_->GetEvent(&code, &p1, &p2, 0) == S_OK) {
    graph_->FreeEventParams(code, p1, p2);
    if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT) running_ = false;
  }
  return running_;
}

void SoundPlayer::Stop() {
  if (graph_) graph_->Stop();
  running_ = false;
}

void SoundPlayer::Close() {
  Stop();
  graph_.reset();
}

}  // namespace mg
