// The browser's slide show through the capture component's clip player,
// the player buttons and the browser's snapshot button.
#include "app/MainUnit.h"

namespace app {

using namespace forms;
using controls::TPbButton;

void TfrmMain::PlaySelection() {
  PlayList->Clear();
  capture_->StopPlayer();
  NextItemDue = true;
  PlayIdle = false;
  for (int32_t i = 0; i < imvViewer->GetMultiSelectedCount(); ++i) {
    const String file = MediaFileOfSlot(imvViewer->GetMultiSelectedImage(i));
    if (MediaKindOfFile(file) != mkOther) PlayList->Add(file);
  }
  tmrPlayMediaFiles->SetInterval(1500);
  tmrPlayMediaFiles->SetEnabled(true);
  PlayIndex = 0;
  PlayCount = PlayList->Count();
  if (Screen) Screen->SetCursor(crHourGlass);
}

void TfrmMain::EndSlideShow() {
  NextItemDue = true;
  PlayIdle = true;
  tmrPlayMediaFiles->SetEnabled(false);
}

// One file per tick at most: the next opens once the one before is done
// (a picture after one tick, a video at its end).
void TfrmMain::tmrPlayMediaFilesTimer(TObject*) {
  if (Screen) Screen->SetCursor(crDefault);
  if (!NextItemDue) return;
  if (PlayIndex < PlayCount && PlayIndex < PlayList->Count()) {
    const String file = PlayList->Get(PlayIndex);
    PlayMediaItem(file);
    ++PlayIndex;
  } else {
    EndSlideShow();
  }
}

void TfrmMain::PlayMediaItem(const String& F) {
  if (!NextItemDue) return;
  if (PlayIndex >= PlayCount) {
    EndSlideShow();
    return;
  }
  auto enablePanel = [this](bool on) {
    pnlBFCommand->SetEnabled(on);
    for (int i = 0; i < pnlBFCommand->ControlCount(); ++i) pnlBFCommand->Controls(i)->SetEnabled(on);
    trkPlayProccess->SetEnabled(on);
  };
  switch (MediaKindOfFile(F)) {
    case mkVideo:
      NextItemDue = false;
      PlayIdle = false;
      VidCap->BringToFront();
      enablePanel(true);
      capture_->SetPlayerFileName(F);
      capture_->OpenPlayer();
      SetPlayerButtons(2);
      break;
    case mkPicture:
      NextItemDue = false;
      PlayIdle = false;
      enablePanel(false);
      trkPlayProccess->SetPosition(trkPlayProccess->Min());
      VidCap->BringToFront();
      try {
        capture_->SetPlayerFileName(F);
        capture_->OpenPlayer();
      } catch (...) {
      }
      NextItemDue = true;
      break;
    default: break;
  }
}

void TfrmMain::VidCapPlayerEndOfStream(TObject*) {
  NextItemDue = true;
  SetPlayerButtons(1);
}

void TfrmMain::SetPlayerButtons(uint8_t State) {
  // play, stop, pause, rewinds, fast forwards, back, snapshot
  static const bool table[6][7] = {
      {true, false, false, true, true, true, false},  // 1 stopped
      {false, true, true, true, true, true, true},    // 2 playing
      {true, true, false, true, true, true, true},    // 3 paused
      {true, true, true, true, true, false, true},    // 4 playing backwards
      {true, true, true, true, true, true, true},     // 5 fast backwards
      {true, true, true, true, true, true, true},     // 6 fast forwards
  };
  if (State < 1 || State > 6) return;
  const bool* row = table[State - 1];
  TPbButton* buttons[7] = {btnPlay, btnStop, btnPause, btnRewinds, btnFastForwards, btnBack, btnBFShotFrame};
  for (int i = 0; i < 7; ++i) buttons[i]->SetEnabled(row[i]);
}

namespace {
template <typename F>
void Guarded(F&& call) {
  try {
    call();
  } catch (...) {
  }
}
}  // namespace

void TfrmMain::btnPlayClick(TObject*) {
  Guarded([this] { capture_->RunPlayer(); });
  SetPlayerButtons(2);
}

void TfrmMain::btnPauseClick(TObject*) {
  Guarded([this] { capture_->PausePlayer(); });
  SetPlayerButtons(3);
}

void TfrmMain::btnBackClick(TObject*) {
  Guarded([this] { capture_->RunPlayerBackwards(); });
  SetPlayerButtons(4);
}

void TfrmMain::btnRewindsClick(TObject*) {
  Guarded([this] { capture_->FastBackwardPlayer(); });
  SetPlayerButtons(5);
}

void TfrmMain::btnFastForwardsClick(TObject*) {
  Guarded([this] { capture_->FastForwardPlayer(); });
  SetPlayerButtons(6);
}

void TfrmMain::btnStopClick(TObject*) {
  Guarded([this] {
    PlayList->Clear();
    capture_->StopPlayer();
  });
  EndSlideShow();
  SetPlayerButtons(1);
}

void TfrmMain::btnHeadClick(TObject*) {
  Guarded([this] {
    if (PlayCount == 1) {
      capture_->SetPlayerPosition(0);
    } else if (PlayIndex >= 2) {
      capture_->StopPlayer();
      PlayIndex -= 2;
      NextItemDue = true;
    }
  });
}

void TfrmMain::btnEndClick(TObject*) {
  SetPlayerButtons(1);
  Guarded([this] {
    if (PlayCount == 1) {
      capture_->StopPlayer();
    } else if (PlayIndex < PlayCount) {
      capture_->StopPlayer();
      NextItemDue = true;
    }
  });
}

// The burst's pictures are added to the column one by one as the
// frame-completed handler receives them: a refresh here would come before
// any of them is written.
void TfrmMain::btnBFShotFrameClick(TObject*) { TakeSnapshot(); }

}  // namespace app
