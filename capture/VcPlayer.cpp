// The clip player: the playback graph the media library renders from a
// file, run, pause and stop, the rate, frame-exact positioning with the
// track bar, and playback by stepping (forwards at a speed, fast forwards
// and backwards).
#include <cmath>
#include <cstdlib>

#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VcWorker.h"
#include "capture/VidCap.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/mg/Guids.h"
#include "platform/mg/Interfaces.h"
#include "platform/rtl/Clock.h"

namespace capture {

namespace {

int64_t RoundDiv(int64_t Value, int64_t Divisor) {
  return static_cast<int64_t>(std::nearbyint(static_cast<double>(Value) / static_cast<double>(Divisor)));
}

// A filter with exactly one input and no output whose input carries the
// major type: where the media library ended a stream of the clip.
bool FindStreamRenderer(const mg::FilterGraph& Graph, const mg::GUID& MajorType, std::shared_ptr<mg::BaseFilter>& Filter,
                        std::shared_ptr<mg::Pin>& Input) {
  for (const auto& f : Graph.Filters()) {
    std::shared_ptr<mg::Pin> in;
    int inputs = 0, outputs = 0;
    for (const auto& p : f->Pins()) {
      if (p->Direction() == mg::PINDIR_INPUT) {
        ++inputs;
        in = p;
      } else {
        ++outputs;
      }
    }
    if (inputs != 1 || outputs != 0) continue;
    mg::AM_MEDIA_TYPE mt;
    if (in->ConnectionMediaType(&mt) != mg::S_OK || mt.majortype != MajorType) continue;
    Filter = f;
    Input = in;
    return true;
  }
  return false;
}

void Box(const String& text) { forms::Application->MessageBox(text, forms::Application->Title(), forms::MB_OK); }

}  // namespace

void CountPins(const std::shared_ptr<mg::BaseFilter>& Filter, int32_t& Inputs, int32_t& Outputs) {
  Inputs = Outputs = 0;
  if (!Filter) return;
  for (const auto& p : Filter->Pins()) (p->Direction() == mg::PINDIR_INPUT ? Inputs : Outputs)++;
}

bool TVcEngine::FindRenderer(const mg::GUID& MajorType, bool ReadVideoSize, std::shared_ptr<mg::BaseFilter>& Filter,
                             std::shared_ptr<mg::Pin>& InputPin) {
  if (!FilterGraph || !FindStreamRenderer(*FilterGraph, MajorType, Filter, InputPin)) return false;
  if (ReadVideoSize) ReadVideoSizeFromPin(InputPin);
  return true;
}

bool TVcEngine::RenderClip(const String& FileName, bool KeepAudioThroughTee, std::shared_ptr<mg::Pin>& AudioOut,
                           std::shared_ptr<mg::Pin>& VideoOut) {
  AudioOut.reset();
  VideoOut.reset();
  if (!FilterGraph || FilterGraph->RenderFile(FileName, {}) < 0) {
    ReportIf(true, SEV_TRACE_ONLY, "cannot render file", e_failed_to_render_file);
    return false;
  }
  if (State == es_PlayerOpen) {
    PreparePlayerSeeking();
  } else if (auto seeking = mg::QueryInterface<mg::IMediaSeeking>(FilterGraph)) {
    // A clip as the source of a capture graph plays the part asked for.
    int64_t start = VideoSource_FileOrURL_StartTime;
    int64_t stop = VideoSource_FileOrURL_StopTime;
    if (start > 0 || stop >= 0) {
      if (start < 0) start = 0;
      const mg::DWORD stopFlags = stop > 0 ? mg::AM_SEEKING_AbsolutePositioning : mg::AM_SEEKING_NoPositioning;
      seeking->SetPositions(&start, mg::AM_SEEKING_AbsolutePositioning, stop > 0 ? &stop : nullptr, stopFlags);
    }
  }
  std::shared_ptr<mg::BaseFilter> renderer;
  std::shared_ptr<mg::Pin> input;
  if (FindRenderer(mg::MEDIATYPE_Audio, false, renderer, input)) {
    AudioPresent = 2;
    std::shared_ptr<mg::Pin> upstream = input->ConnectedTo();
    if (State == es_PlayerOpen) {
      if (!Latched.PlayerAudioRendering || Latched.NetworkStreaming != ns_Disabled) {
        FilterGraph->Disconnect(input);
        if (upstream) FilterGraph->Disconnect(upstream);
        FilterGraph->RemoveFilter(renderer);
        if (upstream) TerminateWithNullRenderer(upstream, false);
      } else if (KeepAudioThroughTee && upstream) {
        FilterGraph->Disconnect(input);
        FilterGraph->Disconnect(upstream);
        std::shared_ptr<mg::BaseFilter> tee;
        std::shared_ptr<mg::Pin> pin = upstream;
        if (InsertFilterInline(mg::CLSID_InfTee, "Inf Tee Vid", pin, &mg::MEDIATYPE_Audio, tee) && pin &&
            ConnectPins(pin, input))
          AudioOut = FirstFreePin(tee, mg::PINDIR_OUTPUT);
      }
    } else {
      FilterGraph->Disconnect(input);
      if (upstream) FilterGraph->Disconnect(upstream);
      FilterGraph->RemoveFilter(renderer);
      AudioOut = upstream;
    }
  } else {
    AudioPresent = 1;
    Latched.PlayerAudioRendering = false;
  }
  if (FindRenderer(mg::MEDIATYPE_Video, true, renderer, input)) {
    std::shared_ptr<mg::Pin> upstream = input->ConnectedTo();
    FilterGraph->Disconnect(input);
    if (upstream) FilterGraph->Disconnect(upstream);
    FilterGraph->RemoveFilter(renderer);
    if (upstream && upstream->Owner() && upstream->Owner()->ClassId() == mg::CLSID_ColorSpaceConverter) {
      // The display brings its own conversion.
      const std::shared_ptr<mg::BaseFilter> converter = upstream->Owner();
      std::shared_ptr<mg::Pin> before;
      for (const auto& p : converter->Pins())
        if (p->Direction() == mg::PINDIR_INPUT) before = p->ConnectedTo();
      DisconnectAllPins(converter);
      FilterGraph->RemoveFilter(converter);
      upstream = before;
    }
    VideoOut = upstream;
  }
  return true;
}

bool TVcEngine::PreparePlayerSeeking() {
  FrameStep = mg::QueryInterface<mg::IVideoFrameStep>(FilterGraph);
  if (!FrameStep) TraceLine(CF_RED, "video frame step");
  PlayerSeeking = mg::QueryInterface<mg::IMediaSeeking>(FilterGraph);
  if (!PlayerSeeking) {
    TraceLine(CF_RED, "find Media seeking");
    return false;
  }
  SlowStepInterval = 0;
  if (Latched.PlayerAudioRendering && PlayerSeeking->SetRate(PlayerSpeedRatio) < 0) {
    ReportIf(true, SEV_WARNING, "cannot set player speed ratio, you should enable PlayerSpeedRatioWithoutAudio.",
             e_failed_to_set_player_speed_ratio_with_audio);
    SlowStepInterval = static_cast<int32_t>(std::nearbyint(FrameDuration / 10'000.0 / PlayerSpeedRatio));
  }
  mg::DWORD caps = 0;
  PlayerSeeking->GetCapabilities(&caps);
  CanStep = caps == 0 || (caps & mg::AM_SEEKING_CanSeekAbsolute) != 0;
  ClipFrameCount = 0;
  if (PlayerSeeking->IsFormatSupported(&mg::TIME_FORMAT_FRAME) == mg::S_OK &&
      PlayerSeeking->SetTimeFormat(&mg::TIME_FORMAT_FRAME) == mg::S_OK) {
    int64_t frames = 0;
    if (PlayerSeeking->GetDuration(&frames) == mg::S_OK) ClipFrameCount = frames;
    PlayerSeeking->SetTimeFormat(&mg::TIME_FORMAT_MEDIA_TIME);
  }
  int64_t duration = 0;
  if (PlayerSeeking->GetDuration(&duration) == mg::S_OK) ClipDuration = duration;
  // A clip cut short keeps the frame count of its header while its length
  // is what is really there: the count then follows the length, or every
  // frame would be taken for a fraction of one.
  int64_t period = 0;
  if (ClipFrameCount > 0 && ClipDuration > 0 &&
      PlayerSeeking->ConvertTimeFormat(&period, &mg::TIME_FORMAT_MEDIA_TIME, 1, &mg::TIME_FORMAT_FRAME) == mg::S_OK &&
      period > 0 && std::llabs(ClipFrameCount * period - ClipDuration) > period)
    ClipFrameCount = RoundDiv(ClipDuration, period);
  if (ClipFrameCount <= 0) {
    FrameDuration = kDefaultFrameDuration;
    ClipFrameCount = RoundDiv(ClipDuration, kDefaultFrameDuration);
  }
  SetPlaybackRate(1.0);
  return true;
}

void TVcEngine::SetPlaybackRate(double Rate) {
  if (!PlayerSeeking || Rate <= 0) return;
  if (Latched.PlayerAudioRendering) {
    PlayerSeeking->SetRate(Rate);
  } else {
    // The component's clock runs the graph at the rate (15000/23 at 1.0);
    // the value waits for that clock, which this build does not make.
    PlayerClockValue = static_cast<int32_t>(std::nearbyint(652.17391304347826 / Rate));
  }
  // A clip of no frames or no length has no frame duration of its own: the
  // default keeps every later division by it defined.
  if (ClipFrameCount > 0 && ClipDuration > 0) {
    const auto d = static_cast<int32_t>(RoundDiv(ClipDuration, ClipFrameCount));
    FrameDuration = d > 0 ? d : kDefaultFrameDuration;
  } else if (FrameDuration <= 0) {
    FrameDuration = kDefaultFrameDuration;
  }
}

int64_t TVcEngine::PlayerCurrentPosition() {
  int64_t position = PlayerPosition;
  if (PlayerSeeking) PlayerSeeking->GetCurrentPosition(&position);
  return position;
}

int32_t TVcEngine::FrameOfPosition(int64_t Position) const {
  return static_cast<int32_t>(RoundDiv(Position, FrameDuration > 0 ? FrameDuration : kDefaultFrameDuration)) + 1;
}

int64_t TVcEngine::SeekPlayer(int64_t Position) {
  if (State != es_PlayerOpen || Latched.NetworkStreaming != ns_Disabled || !PlayerSeeking) return Position;
  Seeking = true;
  const int64_t last = ClipDuration - FrameDuration;
  if (Position >= last) Position = last;
  // Checked last: a clip shorter than one frame has its last frame at 0.
  if (Position < 0) Position = 0;
  if (PlayerTrackBar) {
    // Known before the bar moves, so that its change does not seek again.
    TrackBarPosition = FrameOfPosition(Position);
    PlayerTrackBar->SetPosition(TrackBarPosition);
  }
  PlayerPosition = Position;
  int64_t p = Position;
  PlayerSeeking->SetPositions(&p, mg::AM_SEEKING_AbsolutePositioning | mg::AM_SEEKING_ReturnTime, nullptr,
                              mg::AM_SEEKING_NoPositioning);
  Seeking = false;
  return Position;
}

void TVcEngine::SeekPlayerToFrame(int32_t Frame) {
  if (!CanStep || !GraphActive) return;
  if (Frame < 1) Frame = 1;
  SeekPlayer(static_cast<int64_t>(Frame - 1) * FrameDuration);
}

void TVcEngine::SeekPlayerIfChanged(int64_t Position) {
  if (Seeking || !GraphActive || Position < 0 || !CanStep) return;
  if (Position == PlayerCurrentPosition()) return;
  SeekPlayer(Position);
}

void TVcEngine::PausePlayerStep(bool Stop) {
  if (Latched.NetworkStreaming != ns_Disabled) {
    SetGraphState(Stop ? gs_Stopped : gs_Paused, "ppg");
    return;
  }
  SteppedPlayback = false;
  BackwardsPlayback = false;
  SlowStepping = false;
  FastStepping = false;
  if (GraphState == gs_Running && Latched.FrameGrabber == fg_Disabled) SetGraphState(gs_Paused, "ppg");
  if (AtEnd) {
    AtEnd = false;
    RepositionRequest = 3;
  } else if (Stop) {
    RepositionRequest = 1;
    PausedByRequest = false;
  } else {
    RepositionRequest = 2;
    PausedByRequest = true;
  }
}

void TVcEngine::RunPlayer() {
  if (GraphState == gs_Running) return;
  if (Latched.NetworkStreaming != ns_Disabled) {
    SetGraphState(gs_Running, "ppg");
    return;
  }
  SteppedPlayback = false;
  BackwardsPlayback = false;
  FastStepping = false;
  RepositionRequest = 0;
  if (PlayerCurrentPosition() >= ClipDuration - FrameDuration - 1'000 || AtEnd) SeekPlayerIfChanged(0);
  AtEnd = false;
  if (SlowStepInterval != 0)
    StartSlowStepping();
  else
    SetGraphState(gs_Running, "dpr2");
}

bool TVcEngine::StartStepping(bool Backward, bool Fast) {
  if (State != es_PlayerOpen) {
    ReportIf(true, SEV_WARNING, "no clip opened", w_not_playing);
    return false;
  }
  if (Latched.NetworkStreaming != ns_Disabled) {
    ReportIf(true, SEV_WARNING, "not allowed during network streaming", e_failed_to_play_backwards);
    return false;
  }
  if (!CanStep) {
    ReportIf(true, SEV_WARNING, Backward ? "this clip cannot be played backwards" : "this clip cannot be played forwards",
             e_failed_to_play_backwards);
    return false;
  }
  if (!GraphActive) return false;
  FastStepping = Fast;
  SlowStepping = false;
  BackwardsPlayback = Backward;
  if (!SteppedPlayback) {
    SteppedPlayback = true;
    StepCycles = 0;
    PostTask(TASK_PLAYER_STEP);
  }
  return true;
}

void TVcEngine::StartSlowStepping() {
  if (!GraphActive) return;
  if (GraphState != gs_Paused) SetGraphState(gs_Paused, "spf");
  if (!StartStepping(false, false)) return;
  SlowStepping = true;
}

void TVcEngine::PlayerStep(bool First) {
  if (!PlayerSeeking || FrameDuration <= 0) return;
  const int64_t position = RoundDiv(PlayerCurrentPosition(), FrameDuration) * FrameDuration;
  if (First) {
    if (GraphState != gs_Paused) SetGraphState(gs_Paused, "spbw");
    StepTarget = position;
    if (BackwardsPlayback && position <= FrameDuration) {
      StepTarget = ClipDuration - FrameDuration;
      SeekPlayer(StepTarget);
    } else if (!BackwardsPlayback && position >= ClipDuration - FrameDuration) {
      StepTarget = 0;
      SeekPlayer(0);
    }
    StepAdvance = 0;
    StepLastTick = rtl::GetTickCount();
    return;
  }
  const uint32_t now = rtl::GetTickCount();
  const uint32_t elapsed = now - StepLastTick;
  StepLastTick = now;
  const double speed = FastStepping ? static_cast<double>(PlayerFastSeekSpeedRatio) : PlayerSpeedRatio;
  StepAdvance += static_cast<int64_t>(std::nearbyint(elapsed * static_cast<double>(FrameDuration) * speed / 40.0));
  if (SlowStepping) {
    if (position < ClipDuration && FrameStep) {
      FrameStep->Step(1, nullptr);
    } else {
      EndStepping();
      FlagComplete = true;
      PostTask(TASK_GRAPH_NOTIFICATIONS);
    }
    return;
  }
  if (StepAdvance < FrameDuration) return;
  if (BackwardsPlayback) {
    StepTarget -= StepAdvance;
    if (StepTarget <= 0) {
      EndStepping();
      SeekPlayer(0);
      StepAdvance = 0;
      return;
    }
  } else {
    StepTarget += StepAdvance;
    if (StepTarget >= ClipDuration) {
      EndStepping();
      FlagComplete = true;
      PostTask(TASK_GRAPH_NOTIFICATIONS);
      StepAdvance = 0;
      return;
    }
  }
  SeekPlayer(StepTarget);
  StepAdvance = 0;
}

void TVcEngine::EndStepping() {
  SteppedPlayback = false;
  SlowStepping = false;
  FastStepping = false;
}

void TVcEngine::PlayerTrackBarChange() {
  if (!PlayerTrackBar || Latched.NetworkStreaming != ns_Disabled) return;
  if (GraphState != gs_Paused || FrameBusy) return;
  if (RepositionRequest != 0 && Latched.FrameGrabber != fg_Disabled) return;
  const int32_t position = PlayerTrackBar->Position();
  if (position == TrackBarPosition) return;
  TrackBarPosition = position;
  PendingTrackBarFrame = position;
  PostTask(TASK_SEEK_PLAYER);
}

void TVcEngine::ReleasePlayer() {
  PlayerSeeking.reset();
  FrameStep.reset();
  QualityProperties.reset();
  EndStepping();
  Seeking = false;
  AtEnd = false;
  PausedByRequest = false;
  RepositionRequest = 0;
  PendingTrackBarFrame = 0;
  if (PlayerTrackBar) PlayerTrackBar->OnChange = nullptr;
}

void TVcEngine::ReadDecoderNames() {
  AudioDecoderName = "none";
  VideoDecoderName = "none";
  if (!FilterGraph) return;
  for (const auto& f : FilterGraph->Filters()) {
    int32_t inputs = 0, outputs = 0;
    CountPins(f, inputs, outputs);
    if (inputs != 1 || outputs != 1) continue;
    const String name = f->Name();
    if (name.find("Splitter") != String::npos || name.find("Color Space Converter") != String::npos ||
        name.rfind("GRB", 0) == 0)
      continue;
    std::shared_ptr<mg::Pin> out;
    for (const auto& p : f->Pins())
      if (p->Direction() == mg::PINDIR_OUTPUT) out = p;
    mg::AM_MEDIA_TYPE mt;
    const bool audio = out && out->ConnectionMediaType(&mt) == mg::S_OK && mt.majortype == mg::MEDIATYPE_Audio;
    (audio ? AudioDecoderName : VideoDecoderName) = name;
  }
}

bool TVcEngine::BuildPlayerGraph() {
  PostEvent(qe_Reinitializing);
  SetBusyCursor(this, true);
  ClipFrameCount = 0;
  ClipDuration = 0;
  FrameDuration = kDefaultFrameDuration;
  PlayerPosition = 0;
  CanStep = false;
  AtEnd = false;
  RepositionRequest = 0;
  TrackBarPosition = 0;
  State = es_PlayerOpen;
  ApplyNotificationPeriod();
  bool ok = LatchSettings(false);
  State = es_PlayerOpen;
  ok = ok && CreateFilterGraph();
  if (ok && !PlayerForcedCodec.empty()) {
    std::shared_ptr<mg::BaseFilter> codec;
    if (PlayerForcedCodec[0] == '{') {
      mg::GUID clsid{};
      GuidFromText(PlayerForcedCodec, clsid);
      if (clsid == mg::GUID{} || !CreateInstanceTraced(clsid, codec, "player codec") ||
          !AddFilterToGraph(codec, "player codec"))
        ReportIf(true, SEV_ERROR, "cannot bind player codec", e_failed_to_bind_codec);
    } else if (!BindByName(mg::CLSID_LegacyAmFilterCategory, PlayerForcedCodec, codec, 0) || !codec) {
      // Found by name, the filter is in the graph already.
      ReportIf(true, SEV_ERROR, "player codec not found", e_failed_to_bind_codec);
    }
  }
  const bool tee = Latched.PlayerAudioRendering && Latched.NetworkStreaming != ns_Disabled;
  ok = ok && RenderClip(PlayerFileName, tee, AudioPin, MainVideoPin);
  if (ok && MainVideoPin) {
    if (Latched.FrameGrabber != fg_Disabled) {
      // The frame grabber comes with its own part of the component; until
      // then the clip plays without it.
      TraceLine(CF_RED, "frame grabber not available for the player");
      Latched.FrameGrabber = fg_Disabled;
    }
    std::shared_ptr<mg::BaseFilter> dv;
    if (FilterGraph->FindFilterByName("DV Video Decoder", &dv) == mg::S_OK && dv) {
      if (auto dec = mg::QueryInterface<mg::IIPDVDec>(dv)) dec->put_IPDisplay(1000 + static_cast<int>(PlayerDVSize));
      if (Latched.VideoRenderer == vr_VMR9) Latched.VideoRenderer = vr_VMR7;
    }
    if (!InsertVideoDisplay(MainVideoPin)) {
      // The media library's own rendering as a last resort.
      std::shared_ptr<mg::Pin> input;
      if (!MainVideoPin || !AddDisplayRendererGetInput("rndr", Attachments[da_Main], false, input) ||
          !ConnectPins(MainVideoPin, input))
        ok = false;
      else
        MainVideoPin.reset();
    }
  } else if (ok) {
    Latched.FrameGrabber = fg_Disabled;
  }
  ok = ok && FinishGraph(true, false);
  if (ok) {
    ReadDecoderNames();
    FrameTimeBase = 0;
    if (PlayerTrackBar) {
      PlayerTrackBar->OnChange = [this](forms::TObject*) { PlayerTrackBarChange(); };
      PlayerTrackBar->SetMin(1);
      PlayerTrackBar->SetFrequency(1);
      PlayerTrackBar->SetPageSize(1);
      PlayerTrackBar->SetMax(static_cast<int>(ClipFrameCount));
    }
    MarkGraphBuilt();
    ShowDisplays();
    if (ClipFrameCount <= 0 || ClipDuration <= 0)
      ReportIf(true, SEV_WARNING, "the clip holds no frames: " + PlayerFileName, e_failed_to_render_file);
  } else {
    ReportIf(true, SEV_ERROR, "cannot play " + PlayerFileName, e_failed_to_render_file);
    ClearGraph(true);
  }
  SetBusyCursor(this, false);
  return ok;
}

void TVcEngine::OpenPlayerTask() {
  if (!BuildPlayerGraph()) return;
  PostEvent(qe_PlayerOpened);
  if (AutoStartPlayer)
    RunPlayer();
  else
    SetGraphState(gs_Paused, "opn");
}

void TVcEngine::PlayerPeriodicWork() {
  if (FrameBusy) return;
  if (GraphState == gs_Paused && Latched.NetworkStreaming == ns_Disabled) {
    if (SteppedPlayback) {
      if (++StepCycles >= PlayerStepInterval) {
        StepCycles = 0;
        PlayerStep(false);
      }
    } else if (Latched.FrameGrabber != fg_Disabled && PlayerRefreshPausedDisplay && PausedByRequest) {
      if (++PausedRefreshCount >= 4) {
        PausedRefreshCount = 0;
        SeekPlayer(PlayerCurrentPosition());
      }
    }
  }
  // Frame progress follows the position, one frame at a time.
  if (FrameDuration > 0) {
    const int64_t rounded = RoundDiv(PlayerCurrentPosition(), FrameDuration) * FrameDuration;
    if (rounded != LastFramePosition) {
      LastFramePosition = rounded;
      CurrentFrameInfo.FrameTime = rounded;
      CurrentFrameInfo.FrameNumber = FrameOfPosition(rounded);
      if (PlayerTrackBar && GraphState == gs_Running && PendingTrackBarFrame == 0)
        PlayerTrackBar->SetPosition(CurrentFrameInfo.FrameNumber);
      RaiseFrameProgress();
    }
  }
  PendingTrackBarFrame = 0;
  if (RepositionRequest != 0) {
    if (GraphState == gs_Running) {
      SetGraphState(gs_Paused, "rpr");
      return;
    }
    const int32_t frame = RepositionRequest == 1   ? 1
                          : RepositionRequest == 2 ? CurrentFrameInfo.FrameNumber
                                                   : static_cast<int32_t>(ClipFrameCount);
    RepositionRequest = 0;
    SeekPlayerToFrame(frame);
  }
}

// ---- the public side -------------------------------------------------------------------

bool TVidCap::OpenPlayer() {
  TVcEngine& e = *engine_;
  if (!e.CheckPreconditions({es_Idle, es_Preview, es_PlayerOpen}, SEV_ERROR, false)) return false;
  if (e.ReportIf(e.PlayerFileName.empty(), SEV_ERROR, "file name not specified", e_file_name_not_specified))
    return false;
  e.ClearGraph(true);
  e.PostTask(TASK_OPEN_PLAYER);
  return e.State == es_PlayerOpen;
}

void TVidCap::RunPlayer() {
  TVcEngine& e = *engine_;
  if (e.State != es_PlayerOpen) {
    Box("no clip opened");
    e.ReportIf(true, SEV_TRACE_ONLY, "no clip opened", w_not_playing);
    return;
  }
  e.RunPlayer();
}

void TVidCap::PausePlayer() {
  TVcEngine& e = *engine_;
  if (e.State != es_PlayerOpen) {
    Box("not playing");
    e.ReportIf(true, SEV_TRACE_ONLY, "not playing", w_not_playing);
    return;
  }
  e.PausePlayerStep(false);
}

void TVidCap::StopPlayer() {
  TVcEngine& e = *engine_;
  if (e.State != es_PlayerOpen) {
    e.ReportIf(true, SEV_TRACE_ONLY, "not playing", w_not_playing);
    return;
  }
  e.PostTask(TASK_STOP_PLAYER);
}

void TVidCap::RunPlayerBackwards() {
  if (engine_->Latched.NetworkStreaming != ns_Disabled && engine_->State == es_PlayerOpen) return;
  engine_->StartStepping(true, false);
}

void TVidCap::FastBackwardPlayer() {
  if (engine_->Latched.NetworkStreaming != ns_Disabled && engine_->State == es_PlayerOpen) return;
  engine_->StartStepping(true, true);
}

void TVidCap::FastForwardPlayer() {
  if (engine_->Latched.NetworkStreaming != ns_Disabled && engine_->State == es_PlayerOpen) return;
  engine_->StartStepping(false, true);
}

void TVidCap::SetPlayerPosition(int64_t Position) {
  if (engine_->State == es_PlayerOpen) engine_->SeekPlayerIfChanged(Position);
}

}  // namespace capture
