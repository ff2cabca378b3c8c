// The display windows: binding the renderers to the main and dual window,
// their forms (embedded in the control, floating, full screen), placing
// the video with its aspect ratio and zoom, and the mouse and keys in
// video coordinates.
#include "capture/VcDisplay.h"

#include <cmath>

#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/mg/Interfaces.h"
#include "platform/win/Api.h"
#include "platform/win/Monitors.h"

namespace capture {

// ---- geometry ------------------------------------------------------------------

TVideoRect FitVideoRect(int32_t AreaWidth, int32_t AreaHeight, int32_t SourceWidth, int32_t SourceHeight,
                        bool KeepAspectRatio) {
  TVideoRect r{0, 0, AreaWidth, AreaHeight};
  if (!KeepAspectRatio || SourceWidth <= 0 || SourceHeight <= 0) return r;
  const double ratio = static_cast<double>(SourceWidth) / SourceHeight;
  const auto h = static_cast<int32_t>(std::nearbyint(AreaWidth / ratio));
  if (AreaHeight < h) {
    r.Width = static_cast<int32_t>(std::nearbyint(ratio * AreaHeight));
    r.Left = (AreaWidth - r.Width) >> 1;
  } else {
    r.Height = h;
    r.Top = (AreaHeight - h) >> 1;
  }
  return r;
}

void ZoomVideoSize(int32_t Width, int32_t Height, int32_t ZoomPercent, int32_t& OutWidth, int32_t& OutHeight) {
  OutWidth = Width;
  OutHeight = Height;
  if (ZoomPercent == 100) return;
  OutWidth = static_cast<int32_t>(std::nearbyint(Width * (ZoomPercent / 100.0)));
  OutHeight = static_cast<int32_t>(std::nearbyint(Height * (ZoomPercent / 100.0)));
}

bool TranslateToVideo(int32_t X, int32_t Y, int32_t RectWidth, int32_t RectHeight, int32_t VideoWidth,
                      int32_t VideoHeight, int32_t& OutX, int32_t& OutY) {
  if (RectWidth <= 0 || RectHeight <= 0) return false;
  if (X < 0 || Y < 0 || X > RectWidth || Y > RectHeight) return false;
  OutX = static_cast<int32_t>(std::nearbyint(static_cast<double>(X) * VideoWidth / RectWidth));
  OutY = static_cast<int32_t>(std::nearbyint(static_cast<double>(Y) * VideoHeight / RectHeight));
  return true;
}

// ---- monitors --------------------------------------------------------------------

namespace {

TMonitorInfo monitors[kMonitorEntries];
int32_t monitorsFilled = 0;

win::BOOL CollectMonitor(win::HMONITOR Monitor, win::HDC, win::RECT* Rect, win::LPARAM) {
  if (monitorsFilled >= kMonitorEntries) return 1;  // the rest are not kept
  TMonitorInfo& m = monitors[monitorsFilled];
  m.Found = true;
  m.Handle = Monitor;
  m.Index = monitorsFilled;
  if (Rect) m.Bounds = *Rect;
  ++monitorsFilled;
  return 1;
}

}  // namespace

void RefreshMonitorList() {
  for (int32_t i = 0; i < kMonitorEntries; ++i) monitors[i] = TMonitorInfo{false, {}, nullptr, i};
  monitorsFilled = 0;
  win::EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, 0);
}

bool GetMonitorRect(int32_t Index, win::RECT& Rect) {
  // Read anew each time: a monitor plugged in since start-up is used too.
  RefreshMonitorList();
  if (Index < 0 || Index >= kMonitorEntries || !monitors[Index].Found) return false;
  Rect = monitors[Index].Bounds;
  return true;
}

// ---- the display form ------------------------------------------------------------------

TDisplayForm::TDisplayForm(TVcEngine* Engine, int32_t AttachmentIndex)
    : forms::TForm(nullptr), engine_(Engine), attachment_(AttachmentIndex) {
  SetVisible(false);
  SetBorderStyle(forms::bsNone);
  SetKeyPreview(true);
  SetBounds(10, 10, Engine->VideoWidth, Engine->VideoHeight);
  OnClick = [this](forms::TObject*) {
    TVidCap* c = engine_->Owner;
    if (c && engine_->CanRaiseEvent(c->OnClick)) c->OnClick(c);
  };
  OnDblClick = [this](forms::TObject*) {
    TVidCap* c = engine_->Owner;
    if (c && engine_->CanRaiseEvent(c->OnDblClick)) c->OnDblClick(c);
  };
  OnMouseDown = [this](forms::TObject*, forms::TMouseButton b, forms::TShiftState s, int x, int y) {
    engine_->DisplayMouseDown(*this, b, s, x, y);
  };
  OnMouseUp = [this](forms::TObject*, forms::TMouseButton b, forms::TShiftState s, int x, int y) {
    engine_->DisplayMouseUp(*this, b, s, x, y);
  };
  OnMouseMove = [this](forms::TObject*, forms::TShiftState s, int x, int y) {
    engine_->DisplayMouseMove(*this, s, x, y);
  };
  OnKeyDown = [this](forms::TObject*, uint16_t& key, forms::TShiftState s) { engine_->DisplayKeyDown(*this, key, s); };
  OnKeyPress = [this](forms::TObject*, char& key) { engine_->DisplayKeyPress(*this, key); };
}

TDisplayForm::~TDisplayForm() {
  OnClick = nullptr;
  OnDblClick = nullptr;
  OnMouseDown = nullptr;
  OnMouseUp = nullptr;
  OnMouseMove = nullptr;
  OnKeyDown = nullptr;
  OnKeyPress = nullptr;
  engine_ = nullptr;
}

void TDisplayForm::CreateParams(forms::TCreateParams& Params) {
  forms::TForm::CreateParams(Params);
  if (!Parent()) return;
  // Embedded: a plain child of the control.
  Params.Style = win::WS_CHILD | win::WS_CLIPCHILDREN | win::WS_CLIPSIBLINGS;
  if (Visible()) Params.Style |= win::WS_VISIBLE;
  Params.ExStyle = 0;
  Params.WndParent = Parent()->Handle();
}

void TDisplayForm::Embed(forms::TWinControl* NewParent) {
  if (Parent() == NewParent) return;
  // The window's kind (child or top level) is fixed when it is made.
  if (HandleAllocated()) DestroyHandle();
  SetParent(NewParent);
}

void TDisplayForm::WndProc(forms::TMessage& Message) {
  forms::TForm::WndProc(Message);
  if (Message.Msg == win::WM_WINDOWPOSCHANGING && engine_ && !engine_->Destroying)
    for (TDisplayAttachment& a : engine_->Attachments) engine_->RepaintAttachment(a);
}

void TDisplayForm::Paint() {
  forms::TForm::Paint();
  if (engine_) engine_->RepaintAttachment(engine_->Attachments[attachment_]);
}

void TDisplayForm::Resize() {
  forms::TForm::Resize();
  if (engine_ && !engine_->Destroying) engine_->LayoutDisplays();
}

// ---- the engine's display work ---------------------------------------------------------

TVideoWindowOptions& TVcEngine::WindowOptions(int32_t Index) { return Index == 1 ? DualDisplay : Display; }

bool TVcEngine::WindowEmbedded(int32_t Index) {
  const TVideoWindowOptions& w = WindowOptions(Index);
  return w.Embedded && !w.FullScreen;
}

bool TVcEngine::DisplayEngineReady() const { return Owner && !Destroying && Initialized; }

void TVcEngine::VideoDisplaySize(int32_t& Width, int32_t& Height) const {
  ZoomVideoSize(VideoWidth, VideoHeight, PreviewZoomSize, Width, Height);
}

bool TVcEngine::DualDisplayAllowed() {
  if (!Display.Active || !DualDisplay.Active) return false;
  if (VideoPortFlag && (Display.VideoPortEnabled || DualDisplay.VideoPortEnabled)) return false;
  if (ColorKeyEnabled) {
    ReportIf(true, SEV_ERROR, "window transparency incompatible with dual display", e_incompatible_options);
    return false;
  }
  return true;
}

bool TVcEngine::AutoSizeApplies(int32_t Index) const {
  const TVideoWindowOptions& w = Index == 1 ? DualDisplay : Display;
  if (!(w.Embedded && !w.FullScreen) || !w.AutoSize || !Owner) return false;
  if (Owner->Align() == forms::alClient) return false;
  const forms::TAnchors anchors = Owner->Anchors();
  if (anchors.Contains(forms::akLeft) && anchors.Contains(forms::akRight)) return false;
  if (anchors.Contains(forms::akTop) && anchors.Contains(forms::akBottom)) return false;
  return true;
}

void TVcEngine::VideoWindowChanged(int32_t Window, int32_t Index, int32_t Value) {
  TVideoWindowOptions& w = WindowOptions(Window);
  TVideoWindowRuntime& rt = WindowRuntime[Window == 1 ? 1 : 0];
  const bool busy = State == es_Preview || State == es_Recording || State == es_PlayerOpen;
  switch (Index) {
    case vwp_Active:
      if (Value && !rt.Bound) RequestPreviewRefresh("vwn");
      break;
    case vwp_MouseMovesWindow:
      if (Value) rt.DragAnchor.x = -1;
      [[fallthrough]];
    case vwp_AutoSize:
    case vwp_Embedded:
      if (w.FullScreen && busy) return;
      break;
    case vwp_VideoPortEnabled:
      if (!VideoPortFlag) return;
      break;
    default:
      break;
  }
  BindAttachments();
  LayoutDisplays();
  UpdateDisplayVisibility();
}

TDisplayForm* TVcEngine::CreateDisplayForm(int32_t AttachmentIndex) {
  auto& slot = DisplayForms[AttachmentIndex];
  if (!slot) slot = std::make_unique<TDisplayForm>(this, AttachmentIndex);
  return slot.get();
}

void TVcEngine::AttachRendererWindow(TDisplayAttachment& Attachment) {
  if (!Attachment.Renderer) return;
  CreateDisplayForm(static_cast<int32_t>(&Attachment - Attachments));
  Attachment.RendererWindow = mg::QueryInterface<mg::IVideoWindow>(Attachment.Renderer);
  if (Attachment.RendererWindow) Attachment.RendererWindow->put_AutoShow(mg::OAFALSE);
  QualityProperties = mg::QueryInterface<mg::IQualProp>(Attachment.Renderer);
}

void TVcEngine::ShowInForm(TDisplayAttachment& Attachment, bool Detach) {
  const int32_t index = static_cast<int32_t>(&Attachment - Attachments);
  TDisplayForm* form = CreateDisplayForm(index);
  const int32_t window = Attachment.Window < 0 ? 0 : Attachment.Window;
  const TVideoWindowOptions& w = WindowOptions(window);
  if (!w.FullScreen) form->Hide();
  // Parked while its host changes: the form's window may be made anew.
  if (Attachment.RendererWindow) {
    Attachment.RendererWindow->put_Visible(mg::OAFALSE);
    Attachment.RendererWindow->put_Owner(nullptr);
  }
  if (Detach || !WindowEmbedded(window)) {
    form->SetAlign(forms::alNone);
    form->Embed(nullptr);
    const forms::TFormStyle style = w.StayOnTop ? forms::fsStayOnTop : forms::fsNormal;
    if (form->FormStyle() != style) form->SetFormStyle(style);
  } else {
    form->Embed(Owner);
    form->SetAlign(forms::alClient);
    form->SetColor(BackgroundColor);
  }
  if (Attachment.RendererWindow) {
    const win::HWND host = form->Handle();
    Attachment.RendererWindow->put_Owner(host);
    Attachment.RendererWindow->put_WindowStyle(static_cast<mg::LONG>(win::WS_CHILD | win::WS_CLIPSIBLINGS));
    Attachment.RendererWindow->put_MessageDrain(host);
    Attachment.RendererWindow->put_Visible(mg::OATRUE);
  }
  form->SetColor(BackgroundColor);
}

void TVcEngine::BindAttachments() {
  bool any = false;
  for (const TDisplayAttachment& a : Attachments) any = any || a.Renderer;
  if (!any || !DisplayEngineReady()) return;
  for (TVideoWindowRuntime& rt : WindowRuntime) rt.Bound = false;
  for (TDisplayAttachment& a : Attachments) a.Window = -1;
  bool taken[2] = {false, false};
  TDisplayAttachment& port = Attachments[da_VideoPort];
  if (port.Renderer) {
    if (Display.Active && Display.VideoPortEnabled) {
      port.Window = 0;
    } else if (DualDisplay.Active && DualDisplay.VideoPortEnabled) {
      port.Window = 1;
    } else {
      // The port's picture still needs a host: shown once in the main
      // window's form, then left unbound.
      port.Window = 0;
      ShowInForm(port, false);
      PlaceWindow(port);
      port.Window = -1;
    }
    if (port.Window >= 0) taken[port.Window] = true;
  }
  for (int32_t which : {da_Main, da_Second}) {
    TDisplayAttachment& a = Attachments[which];
    if (!a.Renderer) continue;
    if (Display.Active && !taken[0])
      a.Window = 0;
    else if (DualDisplay.Active && !taken[1])
      a.Window = 1;
    if (a.Window >= 0) taken[a.Window] = true;
  }
  for (TDisplayAttachment& a : Attachments) {
    if (a.Window < 0 || !a.Renderer) continue;
    ShowInForm(a, false);
    WindowRuntime[a.Window].Bound = true;
  }
}

void TVcEngine::PlaceWindow(TDisplayAttachment& Attachment) {
  const int32_t index = static_cast<int32_t>(&Attachment - Attachments);
  TDisplayForm* form = DisplayForms[index].get();
  if (Attachment.Window < 0 || !form || !Owner) return;
  const TVideoWindowOptions& w = WindowOptions(Attachment.Window);
  TVideoWindowRuntime& rt = WindowRuntime[Attachment.Window];
  const bool autoSize = AutoSizeApplies(Attachment.Window);
  const int32_t border = Sel.BorderSize;
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool resizeComponent = false;
  if (w.FullScreen) {
    win::RECT r;
    if (GetMonitorRect(w.Monitor, r)) {
      x = r.left;
      y = r.top;
      width = r.right - r.left;
      height = r.bottom - r.top;
    } else {
      width = win::GetSystemMetrics(win::SM_CXSCREEN);
      height = win::GetSystemMetrics(win::SM_CYSCREEN);
    }
  } else if (w.Embedded) {
    if (autoSize) {
      VideoDisplaySize(width, height);
      resizeComponent = true;
    } else {
      width = Owner->Width() - border;
      height = Owner->Height() - border;
    }
  } else {
    if (w.AutoSize)
      VideoDisplaySize(width, height);
    else {
      width = w.Width;
      height = w.Height;
    }
    x = w.Left;
    y = w.Top;
    win::RECT r;
    if (GetMonitorRect(w.Monitor, r)) {
      x += r.left;
      y += r.top;
    }
  }
  const bool port = Attachment.UsesVideoPort && w.VideoPortEnabled;
  const TVideoRect video = FitVideoRect(width, height, port ? VideoPortWidth : VideoWidth,
                                        port ? VideoPortHeight : VideoHeight, w.KeepAspectRatio);
  rt.AreaWidth = width;
  rt.AreaHeight = height;
  if (resizeComponent) Owner->SetBounds(Owner->Left(), Owner->Top(), width + border, height + border);
  if (!form->IsEmbedded()) form->SetBounds(x, y, width, height);
  Attachment.Placement = {x, y, width, height};
  form->VideoRect = video;
  if (Attachment.RendererWindow)
    Attachment.RendererWindow->SetWindowPosition(video.Left, video.Top, video.Width, video.Height);
}

void TVcEngine::LayoutDisplays() {
  if (LayoutBusy || !DisplayEngineReady()) return;
  LayoutBusy = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{LayoutBusy};
  if (State == es_Preview || State == es_Recording || State == es_PlayerOpen) {
    for (TDisplayAttachment& a : Attachments) PlaceWindow(a);
  } else {
    const int32_t window = WindowEmbedded(0) ? 0 : WindowEmbedded(1) ? 1 : -1;
    if (window >= 0 && AutoSizeApplies(window) && VideoWidth > 0 && VideoHeight > 0) {
      TVideoWindowRuntime& rt = WindowRuntime[window];
      VideoDisplaySize(rt.AreaWidth, rt.AreaHeight);
      Owner->SetBounds(Owner->Left(), Owner->Top(), rt.AreaWidth + Sel.BorderSize, rt.AreaHeight + Sel.BorderSize);
    }
  }
  if (CanRaiseEvent(Owner->OnResizeVideo)) Owner->OnResizeVideo(Owner, VideoWidth, VideoHeight);
  Owner->Invalidate();
}

win::HWND TVcEngine::FindRendererHandle(TDisplayAttachment& Attachment) {
  const int32_t index = static_cast<int32_t>(&Attachment - Attachments);
  TDisplayForm* form = DisplayForms[index].get();
  Attachment.RendererHandle = nullptr;
  if (form && form->HandleAllocated())
    Attachment.RendererHandle = win::FindWindowExA(form->Handle(), nullptr, "VideoRenderer", nullptr);
  return Attachment.RendererHandle;
}

void TVcEngine::UpdateDisplayVisibility() {
  if (!DisplayEngineReady()) return;
  for (int32_t i = 0; i < 3; ++i) {
    TDisplayAttachment& a = Attachments[i];
    TDisplayForm* form = DisplayForms[i].get();
    if (!form) continue;
    const bool visible = a.Shown && a.Window >= 0 && WindowOptions(a.Window).Active;
    if (visible && !form->IsEmbedded())
      form->SetBounds(a.Placement.Left, a.Placement.Top, a.Placement.Width, a.Placement.Height);
    form->SetVisible(visible);
    if (visible && !form->IsEmbedded() && WindowOptions(a.Window).FullScreen) {
      // In front and with the keyboard, so that Escape reaches it.
      form->BringToFront();
      if (form->HandleAllocated()) win::SetFocus(form->Handle());
    }
  }
  for (TDisplayAttachment& a : Attachments) FindRendererHandle(a);
  LayoutDisplays();
}

void TVcEngine::ShowDisplays() {
  CheckColorKey();
  for (TDisplayAttachment& a : Attachments)
    if (a.Renderer && !a.RendererWindow) AttachRendererWindow(a);
  BindAttachments();
  UpdateDisplayVisibility();
}

void TVcEngine::CheckColorKey() {
  if (!ColorKeyEnabled) return;
  // The overlay mixer's when the graph has one, else the renderer's own.
  std::shared_ptr<mg::IOverlay> overlay = OverlayInterface;
  if (!overlay) overlay = mg::QueryInterface<mg::IOverlay>(Attachments[da_Main].Renderer);
  if (!overlay) return;
  mg::COLORKEY key;
  // A key set while the graph was built stays.
  if (overlay->GetColorKey(&key) == mg::S_OK && key.KeyType == kColorKeyType &&
      key.LowColorValue == ColorKeyLow && key.HighColorValue == ColorKeyHigh)
    return;
  key = mg::COLORKEY{kColorKeyType, 0, ColorKeyLow, ColorKeyHigh};
  mg::COLORKEY back;
  if (overlay->SetColorKey(&key) == mg::S_OK && overlay->GetColorKey(&back) == mg::S_OK) {
    if (CanRaiseEvent(Owner->OnColorKeyChange)) Owner->OnColorKeyChange(Owner, static_cast<forms::TColor>(back.LowColorValue));
  } else {
    ReportIf(true, SEV_WARNING, "cannot use color key", w_cannot_use_color_key);
  }
}

void TVcEngine::RepaintAttachment(TDisplayAttachment& Attachment) {
  if (!Attachment.Shown || !Attachment.Renderer) return;
  if (Attachment.RendererHandle) win::InvalidateRect(Attachment.RendererHandle, nullptr, 0);
}

void TVcEngine::ReleaseDisplayForms() {
  for (auto& form : DisplayForms) form.reset();
}

// ---- mouse and keys -----------------------------------------------------------------------

namespace {

bool DragApplies(const TVideoWindowOptions& w) { return w.MouseMovesWindow && !w.FullScreen && !w.Embedded; }

}  // namespace

bool TVcEngine::DisplayPoint(TDisplayForm& Form, int32_t& X, int32_t& Y) {
  if (!GraphActive || !TranslateMouseCoordinates) return true;
  TDisplayAttachment& a = Attachments[Form.AttachmentIndex()];
  win::POINT p{};
  win::GetCursorPos(&p);
  if (a.RendererHandle)
    win::ScreenToClient(a.RendererHandle, &p);
  else if (Form.HandleAllocated())
    win::ScreenToClient(Form.Handle(), &p);
  return TranslateToVideo(p.x, p.y, Form.VideoRect.Width, Form.VideoRect.Height, VideoWidth, VideoHeight, X, Y);
}

void TVcEngine::DisplayMouseDown(TDisplayForm& Form, forms::TMouseButton Button, forms::TShiftState Shift, int X,
                                 int Y) {
  TDisplayAttachment& a = Attachments[Form.AttachmentIndex()];
  if (a.Window < 0) return;
  TVideoWindowRuntime& rt = WindowRuntime[a.Window];
  win::POINT cursor{};
  win::GetCursorPos(&cursor);
  rt.DragAnchor = {cursor.x - 1, cursor.y - 1};
  int32_t x = X - 1, y = Y - 1;
  if (DragApplies(WindowOptions(a.Window))) return;
  if (!CanRaiseEvent(Owner->OnMouseDown) || !DisplayPoint(Form, x, y)) return;
  Owner->OnMouseDown(Owner, a.Window, Button, Shift, x, y);
}

void TVcEngine::DisplayMouseMove(TDisplayForm& Form, forms::TShiftState Shift, int X, int Y) {
  TDisplayAttachment& a = Attachments[Form.AttachmentIndex()];
  if (a.Window < 0) return;
  TVideoWindowOptions& w = WindowOptions(a.Window);
  TVideoWindowRuntime& rt = WindowRuntime[a.Window];
  if (rt.DragAnchor.x != -1 && DragApplies(w)) {
    win::POINT cursor{};
    win::GetCursorPos(&cursor);
    const int32_t left = cursor.x - 1 - rt.DragAnchor.x + Form.Left();
    const int32_t top = cursor.y - 1 - rt.DragAnchor.y + Form.Top();
    Form.SetBounds(left, top, Form.Width(), Form.Height());
    a.Placement.Left = left;
    a.Placement.Top = top;
    win::RECT r;
    // Stored relative to the window's monitor, as placing reads them.
    const bool known = GetMonitorRect(w.Monitor, r);
    w.Left = known ? left - r.left : left;
    w.Top = known ? top - r.top : top;
    rt.DragAnchor = {cursor.x - 1, cursor.y - 1};
    return;
  }
  int32_t x = X, y = Y;
  if (!CanRaiseEvent(Owner->OnMouseMove) || !DisplayPoint(Form, x, y)) return;
  Owner->OnMouseMove(Owner, a.Window, Shift, x, y);
}

void TVcEngine::DisplayMouseUp(TDisplayForm& Form, forms::TMouseButton Button, forms::TShiftState Shift, int X,
                               int Y) {
  TDisplayAttachment& a = Attachments[Form.AttachmentIndex()];
  if (a.Window < 0) return;
  TVideoWindowRuntime& rt = WindowRuntime[a.Window];
  if (DragApplies(WindowOptions(a.Window))) {
    rt.DragAnchor.x = -1;
    return;
  }
  if (!CanRaiseEvent(Owner->OnMouseUp)) {
    rt.DragAnchor.x = -1;
    return;
  }
  int32_t x = X, y = Y;
  if (!DisplayPoint(Form, x, y)) return;
  Owner->OnMouseUp(Owner, a.Window, Button, Shift, x, y);
}

void TVcEngine::DisplayKeyDown(TDisplayForm& Form, uint16_t& Key, forms::TShiftState Shift) {
  TDisplayAttachment& a = Attachments[Form.AttachmentIndex()];
  const int32_t window = a.Window < 0 ? 0 : a.Window;
  TVideoWindowRuntime& rt = WindowRuntime[window];
  // The character of a key comes after its key-down; Escape's is known
  // now, so a single press leaves full screen.
  if (Key == win::VK_ESCAPE) rt.LastKey = 27;
  if (CanRaiseEvent(Owner->OnKeyPress)) Owner->OnKeyPress(Owner, a.Window, rt.LastKey, Key, Shift);
  if (rt.LastKey == 27) {
    rt.LastKey = ' ';
    if (window == 1)
      Owner->SetDualDisplay_FullScreen(false);
    else
      Owner->SetDisplay_FullScreen(false);
  }
}

void TVcEngine::DisplayKeyPress(TDisplayForm& Form, char& Key) {
  TDisplayAttachment& a = Attachments[Form.AttachmentIndex()];
  WindowRuntime[a.Window < 0 ? 0 : a.Window].LastKey = Key;
}

}  // namespace capture
