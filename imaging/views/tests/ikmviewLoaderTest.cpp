// Background thumbnail loading with real threads: the pool limit, aborts
// when a slot scrolls away or goes, a cancel that does not hang on a
// reader stuck in the file system, and the scheduler's wake-up under a
// queue-then-idle race. Stuck readers are named pipes that a feeder
// thread serves only when the test says so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/views/ikmview.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Clock.h"

namespace imaging {
namespace {

using namespace forms;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A named pipe standing for a file whose reads do not come back until the
// test lets them.
class StuckFile {
public:
  explicit StuckFile(std::string path) : path_(std::move(path)) { ::mkfifo(path_.c_str(), 0600); }
  ~StuckFile() {
    stop_ = true;
    if (feeder_.joinable()) feeder_.join();
    if (held_ >= 0) ::close(held_);
    ::unlink(path_.c_str());
  }
  const std::string& Path() const { return path_; }
  // Returns once a reader has opened the pipe; the reader then waits for
  // bytes that do not come.
  void WaitForReader() {
    while ((held_ = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK)) < 0) std::this_thread::yield();
  }
  // From now on every open of the pipe reads `bytes`.
  void Serve(std::string bytes) {
    if (held_ >= 0) {
      ::close(held_);
      held_ = -1;
    }
    feeder_ = std::thread([this, bytes = std::move(bytes)] {
      while (!stop_) {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) {
          std::this_thread::yield();
          continue;
        }
        ::fcntl(fd, F_SETFL, 0);
        size_t done = 0;
        while (done < bytes.size()) {
          const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
          if (n <= 0) break;
          done += static_cast<size_t>(n);
        }
        ::close(fd);
      }
    });
  }

private:
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread feeder_;
  int held_ = -1;
};

class ThumbLoaderTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    ::signal(SIGPIPE, SIG_IGN);
    char pattern[] = "/tmp/vorix-ikload-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder = pattern;
    picture = folder + "/picture.jpg";
    ASSERT_EQ(std::system(("convert -size 320x240 plasma:red-blue -quality 85 " + picture).c_str()), 0);
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 600, 400);
    view = new TImgKitMView(form);
    view->SetBorderStyle(bsNone);
    view->SetParent(form);
    view->SetStoreType(iktThumb);
    view->SetThumbWidth(80);
    view->SetThumbHeight(60);
    view->SetGridWidth(-1);
    // Six columns and five rows of cells are visible.
    view->SetBounds(0, 0, 6 * 84 + 4, 5 * 64 + 4);
    form->Show();
    Pump();
  }
  void TearDown() override {
    FormsFixture::TearDown();
    std::filesystem::remove_all(folder);
  }
  void Paint() {
    view->Invalidate();
    Pump();
  }
  std::string folder, picture;
  TForm* form = nullptr;
  TImgKitMView* view = nullptr;
};

TEST_F(ThumbLoaderTest, ThirtyVisibleSlotsRunFiveLoadersAtATime) {
  std::vector<int32_t> wrong;
  view->OnWrongImage = [&](TObject*, TIKBitmap*, int32_t idx, bool&) { wrong.push_back(idx); };
  int allShown = 0;
  view->OnAllDisplayed = [&](TObject*) { ++allShown; };
  for (int32_t i = 0; i < 30; ++i) {
    view->InsertImageNoSelect(i);
    view->SetImageFileName(i, picture);
  }
  Paint();
  ASSERT_TRUE(view->WaitForBackgroundLoads(60000));
  EXPECT_EQ(view->LoadsStarted(), 30);
  EXPECT_EQ(view->PeakLoaderCount(), 5);
  for (int32_t i = 0; i < 30; ++i) {
    ASSERT_TRUE(view->HasStoredImage(i)) << i;
    EXPECT_EQ(view->GetStoredWidth(i), 80) << i;
    EXPECT_EQ(view->GetStoredHeight(i), 60) << i;
    EXPECT_EQ(view->GetImageOriginalWidth(i), 320) << i;
  }
  EXPECT_TRUE(wrong.empty());
  // The completions asked for a paint, which shows every slot at last.
  Pump();
  Paint();
  EXPECT_EQ(allShown, 1);
  EXPECT_EQ(view->LoaderCount(), 0);
}

TEST_F(ThumbLoaderTest, AnUnreadableFileGetsThePlaceholderFromItsLoader) {
  const std::string bad = folder + "/bad.jpg";
  { std::ofstream(bad) << "no picture in here"; }
  std::vector<int32_t> wrong;
  view->OnWrongImage = [&](TObject*, TIKBitmap*, int32_t idx, bool&) { wrong.push_back(idx); };
  for (int32_t i = 0; i < 3; ++i) {
    view->InsertImageNoSelect(i);
    view->SetImageFileName(i, i == 1 ? bad : picture);
  }
  Paint();
  ASSERT_TRUE(view->WaitForBackgroundLoads(60000));
  EXPECT_EQ(wrong, (std::vector<int32_t>{1}));
  for (int32_t i = 0; i < 3; ++i) EXPECT_TRUE(view->HasStoredImage(i)) << i;
  // The placeholder is the thumbnail box itself.
  EXPECT_EQ(view->GetStoredWidth(1), 80);
  EXPECT_EQ(view->GetStoredHeight(1), 60);
}

TEST_F(ThumbLoaderTest, AFramePictureOrAnImageIdIsNeverQueued) {
  std::vector<int32_t> asked;
  TIKBitmap given;
  given.Allocate(40, 30, ikRGB24);
  view->OnImageIDRequestEx = [&](TObject*, int32_t id, TIKBitmap*& bitmap) {
    asked.push_back(id);
    bitmap = &given;
  };
  view->InsertImageNoSelect(0);
  view->SetImageFileName(0, picture + "::2");
  view->InsertImageNoSelect(1);
  view->SetImageID(1, 7);
  EXPECT_FALSE(view->QueueLoad(0));
  EXPECT_FALSE(view->QueueLoad(1));
  EXPECT_EQ(view->QueuedLoadCount(), 0);
  // Painting asks the handler for the picture of the slot with an ID.
  Paint();
  EXPECT_EQ(asked, (std::vector<int32_t>{7}));
  EXPECT_TRUE(view->HasStoredImage(1));
  EXPECT_TRUE(view->WaitForBackgroundLoads(10000));
  EXPECT_EQ(view->LoadsStarted(), 0);
}

TEST_F(ThumbLoaderTest, ScrollingASlotAwayAbortsItsLoadAndStoresNothing) {
  StuckFile stuck(folder + "/stuck.jpg");
  std::vector<int32_t> wrong;
  view->OnWrongImage = [&](TObject*, TIKBitmap*, int32_t idx, bool&) { wrong.push_back(idx); };
  view->SetGridWidth(1);
  for (int32_t i = 0; i < 20; ++i) view->InsertImageNoSelect(i);
  view->SetImageFileName(0, stuck.Path());
  Paint();
  stuck.WaitForReader();
  EXPECT_EQ(view->LoaderCount(), 1);
  // Far down: slot 0 is out of view, and the next paint tells its reader to stop.
  view->SetViewY(100000);
  Paint();
  stuck.Serve(ReadFile(picture));
  ASSERT_TRUE(view->WaitForBackgroundLoads(60000));
  EXPECT_EQ(view->LoadsStarted(), 1);
  EXPECT_FALSE(view->HasStoredImage(0));
  // An aborted reader draws no placeholder for a slot that is not its own.
  EXPECT_TRUE(wrong.empty());
}

TEST_F(ThumbLoaderTest, LoadsFollowTheirSlotWhenOthersComeOrGo) {
  StuckFile first(folder + "/first.jpg"), second(folder + "/second.jpg");
  for (int32_t i = 0; i < 4; ++i) view->InsertImageNoSelect(i);
  view->SetImageFileName(1, first.Path());
  view->SetImageFileName(2, second.Path());
  view->QueueLoad(1);
  first.WaitForReader();
  view->QueueLoad(2);
  second.WaitForReader();
  // A slot before both: the loads now belong to slots 2 and 3.
  view->InsertImageNoSelect(0);
  // The first picture's slot goes: its load with it.
  view->DeleteImage(2);
  first.Serve(ReadFile(picture));
  second.Serve(ReadFile(picture));
  ASSERT_TRUE(view->WaitForBackgroundLoads(60000));
  EXPECT_EQ(view->GetImageFileName(2), second.Path());
  EXPECT_TRUE(view->HasStoredImage(2));
  for (int32_t i : {0, 1, 3}) EXPECT_FALSE(view->HasStoredImage(i)) << i;
}

TEST_F(ThumbLoaderTest, AnImageLoadedAtOnceMeanwhileIsNotReplacedByTheLoader) {
  StuckFile stuck(folder + "/stuck.jpg");
  const std::string wide = folder + "/wide.jpg";
  ASSERT_EQ(std::system(("convert -size 200x50 xc:green " + wide).c_str()), 0);
  view->InsertImageNoSelect(0);
  view->SetImageFileName(0, stuck.Path());
  view->QueueLoad(0);
  stuck.WaitForReader();
  ASSERT_TRUE(view->SetImageFromFile(0, wide));
  stuck.Serve(ReadFile(picture));
  ASSERT_TRUE(view->WaitForBackgroundLoads(60000));
  EXPECT_EQ(view->GetStoredWidth(0), 80);
  EXPECT_EQ(view->GetStoredHeight(0), 20);
}

TEST_F(ThumbLoaderTest, CancelReturnsAfterAboutASecondWhileAReaderIsStuck) {
  StuckFile stuck(folder + "/stuck");
  view->InsertImageNoSelect(0);
  view->SetImageFileName(0, stuck.Path());
  view->QueueLoad(0);
  stuck.WaitForReader();
  {
    rtl::ScopedVirtualClock clock;
    const uint64_t start = rtl::GetTickCount64();
    view->CancelBackgroundLoads();
    EXPECT_EQ(rtl::GetTickCount64() - start, 1000u);
  }
  EXPECT_EQ(view->LoaderCount(), 1);
  EXPECT_EQ(view->QueuedLoadCount(), 0);
  // Once the file answers the reader ends and is collected; nothing lands.
  stuck.Serve(ReadFile(picture));
  ASSERT_TRUE(view->WaitForBackgroundLoads(60000));
  EXPECT_FALSE(view->HasStoredImage(0));
}

TEST_F(ThumbLoaderTest, ARequestQueuedAsTheSchedulerGoesIdleIsNeverLost) {
  // Each round queues one load and waits for the scheduler to be idle
  // again, so the next request races with its going to sleep.
  view->InsertImageNoSelect(0);
  Paint();
  for (int round = 0; round < 300; ++round) {
    view->DeleteImage(0);
    view->InsertImageNoSelect(0);
    view->SetImageFileName(0, picture);
    ASSERT_TRUE(view->QueueLoad(0));
    ASSERT_TRUE(view->WaitForBackgroundLoads(20000)) << "round " << round;
    ASSERT_TRUE(view->HasStoredImage(0)) << "round " << round;
  }
  EXPECT_EQ(view->LoadsStarted(), 300);
}

TEST_F(ThumbLoaderTest, TheViewGoesWhileLoadsAreRunning) {
  for (int32_t i = 0; i < 30; ++i) {
    view->InsertImageNoSelect(i);
    view->SetImageFileName(i, picture);
  }
  Paint();
  delete view;
  view = nullptr;
  Pump();
}

}  // namespace
}  // namespace imaging
