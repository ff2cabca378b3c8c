// Scanner and camera stand-ins: the acquisition object without a device
// manager, the scanner parameters with their connection clean-up and log,
// and the print-preview page layout.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "imaging/core/iktwain.h"
#include "imaging/core/ikwia.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/tests/IkTestFolder.h"
#include "platform/win/Api.h"

namespace imaging {
namespace {

using testing::ReadAll;

TEST(Acquisition, WithoutADeviceManagerNothingIsRegisteredAndEventsStillReport) {
  TImgKitIO io(nullptr);
  TIKWia* wia = io.GetWia();
  ASSERT_NE(wia, nullptr);
  EXPECT_EQ(io.GetWia(), wia);  // made once
  EXPECT_EQ(wia->Owner(), &io);
  EXPECT_FALSE(wia->HasDeviceManager());
  EXPECT_EQ(wia->RegisteredEvents(), 0);
  EXPECT_EQ(wia->DeviceCount(), 0);
  EXPECT_TRUE(wia->TakePicture);
  EXPECT_FALSE(wia->DeleteTakenPicture);
  EXPECT_EQ(wia->LastEvent(), ikWiaEventNone);

  struct Case {
    TIKWiaEventId id;
    uint8_t code;
    int notifies;
  };
  for (const Case& c : {Case{TIKWiaEventId::ItemCreated, ikWiaItemCreated, 1},
                        Case{TIKWiaEventId::ItemDeleted, ikWiaItemDeleted, 1},
                        Case{TIKWiaEventId::ItemTreeUpdated, ikWiaItemsTreeUpdated, 1},
                        Case{TIKWiaEventId::Other, ikWiaItemsTreeUpdated, 0}}) {
    int notifies = 0;
    TIKWia* sender = nullptr;
    wia->OnItemsTreeUpdated = [&](TIKWia* s) {
      ++notifies;
      sender = s;
    };
    EXPECT_EQ(wia->EventSink().ImageEventCallback(c.id), 0);
    EXPECT_EQ(notifies, c.notifies);
    EXPECT_EQ(wia->LastEvent(), c.code);
    EXPECT_EQ(sender, c.notifies ? wia : nullptr);
  }
}

TEST(Acquisition, ProgressGoesToTheComponentAndStopsOnceAborting) {
  TImgKitIO io(nullptr);
  std::vector<int32_t> seen;
  io.OnProgress = [&](forms::TObject*, int32_t per) { seen.push_back(per); };
  TIKWia* wia = io.GetWia();
  EXPECT_TRUE(wia->ProgressCallback(30));
  io.Aborting = true;
  EXPECT_FALSE(wia->ProgressCallback(60));
  EXPECT_EQ(seen, (std::vector<int32_t>{30, 60}));
}

class ScannerLog : public testing::TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    IKTwainLogFileName = folder_ + "twain.log";
  }
  void TearDown() override {
    IKTwainLogFileName.clear();
    TempFolderTest::TearDown();
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(IKTwainLogFileName));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // "<date> <time> : <message>"
  static std::string Message(const std::string& line) {
    static const std::regex stamped(R"(^\d{4}-\d{2}-\d{2} \d{1,2}:\d{2}:\d{2} : (.*)$)");
    std::smatch m;
    return std::regex_match(line, m, stamped) ? m[1].str() : "<unstamped: " + line + ">";
  }
};

TEST_F(ScannerLog, AComponentThatNeverScannedLogsNothing) {
  { TImgKitIO io(nullptr); }
  EXPECT_FALSE(std::filesystem::exists(IKTwainLogFileName));
}

TEST_F(ScannerLog, EndingAConnectionDestroysTheProxyWindowAndUnloadsTheLibrary) {
  static const bool registered = [] {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = win::DefWindowProcA;
    wc.lpszClassName = "VorixScannerProxy";
    return win::RegisterClassA(&wc) != 0;
  }();
  ASSERT_TRUE(registered);
  const win::HWND proxy =
      win::CreateWindowExA(0, "VorixScannerProxy", "", win::WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(win::IsWindow(proxy));
  void* library = dlopen("libz.so.1", RTLD_NOW);
  ASSERT_NE(library, nullptr);
  {
    TImgKitIO io(nullptr);
    TIKTwainShared& shared = io.TwainParams().TwainShared;
    shared.ProxyWindow = proxy;
    shared.SourceManagerState = 2;
    shared.LibraryHandle = library;
  }
  EXPECT_FALSE(win::IsWindow(proxy));
  std::vector<std::string> messages;
  for (const auto& line : Lines()) messages.push_back(Message(line));
  EXPECT_EQ(messages, (std::vector<std::string>{"DestroyProxyWindow", "  DestroyProxyWindow : destroyed",
                                                "IKTW_UnloadSourceManager", "  IKTW_UnloadSourceManager : Unload OK"}));
}

TEST_F(ScannerLog, ALoadedStateWithoutALibraryIsKeptForLaterUse) {
  TIKTwainShared shared;
  shared.SourceManagerState = 2;
  IKTW_EndConnection(shared, nullptr);
  EXPECT_EQ(shared.SourceManagerState, 1);
  std::vector<std::string> messages;
  for (const auto& line : Lines()) messages.push_back(Message(line));
  EXPECT_EQ(messages, (std::vector<std::string>{"IKTW_UnloadSourceManager",
                                                "  IKTW_UnloadSourceManager not Unloaded, for future uses"}));
  // Ended once, the state logs no more.
  IKTW_EndConnection(shared, nullptr);
  EXPECT_EQ(Lines().size(), 3u);
}

TEST(ScannerParams, ResetRestoresTheSettingsAndEmptiesTheLists) {
  for (bool multi : {false, true}) {
    TIKTWainParams p(nullptr, multi);
    p.AcquireCount = 9;
    p.SourceNames.push_back("Flatbed");
    p.XResolution.Add(300.0);
    p.PixelType.Add(2);
    p.Gamma = 1.0;
    p.VisibleDialog = true;
    p.AcquireFrame[3] = 7;
    p.Reset();
    EXPECT_EQ(p.AcquireCount, 1);
    EXPECT_TRUE(p.SourceNames.empty());
    EXPECT_EQ(p.XResolution.Count(), 0);
    EXPECT_EQ(p.PixelType.Count(), 0);
    EXPECT_DOUBLE_EQ(p.Gamma, 2.2);
    EXPECT_FALSE(p.VisibleDialog);
    EXPECT_EQ(p.AcquireFrame[3], 0);
    EXPECT_TRUE(p.ProgressIndicators);
    EXPECT_TRUE(p.BufferedTransfer);
    EXPECT_EQ(p.MultiImageOwner, multi);
    EXPECT_EQ(p.FeederEnabled, multi);
    EXPECT_EQ(p.DuplexEnabled, multi);
  }
}

TEST(PrintPreview, NewParamsHaveTheDefaultLayout) {
  TImgKitIO io(nullptr);
  const TIOPrintPreviewParams& p = io.PrintPreviewParams();
  for (double margin : {p.MarginTop, p.MarginLeft, p.MarginRight, p.MarginBottom}) EXPECT_DOUBLE_EQ(margin, 1.0);
  EXPECT_EQ(p.Position, 4);
  EXPECT_EQ(p.Size, 1);
  EXPECT_DOUBLE_EQ(p.Width, -1.0);
  EXPECT_DOUBLE_EQ(p.Height, -1.0);
  EXPECT_DOUBLE_EQ(p.Gamma, 1.0);
}

}  // namespace
}  // namespace imaging
