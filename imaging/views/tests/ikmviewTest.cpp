// The thumbnail view's model: slots and the selection across inserts and
// deletes, the change notices, caption gaps, storing images in the two
// store types, synchronous loads of real files (pictures made by
// ImageMagick, clips made by ffmpeg) and the placeholder of a failed load.
#include "imaging/views/ikmview.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsImageList.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitprocResample.h"
#include "imaging/core/tests/IkMediaTestSupport.h"
#include "imaging/core/tests/IkTestFolder.h"
#include "imaging/views/ikmio.h"
#include "platform/rtl/Text.h"

namespace imaging {
namespace {

using forms::TObject;

rtl::WideString W(const char* s) { return rtl::AnsiToWide(s); }

// The view with the slot count given, nothing selected afterwards.
std::unique_ptr<TImgKitMView> ViewWith(int32_t slots) {
  auto view = std::make_unique<TImgKitMView>(nullptr);
  for (int32_t i = 0; i < slots; ++i) view->InsertImageNoSelect(i);
  return view;
}

// Records every change notice observers see.
struct NoticeLog {
  std::vector<std::pair<int32_t, int32_t>> notices;
  TImgKitMView* view_ = nullptr;
  intptr_t handle_ = -1;
  ~NoticeLog() {
    if (view_) view_->RemoveObserverHandle(handle_);
  }
  void Attach(TImgKitMView& view) {
    view_ = &view;
    handle_ = view.RegisterObserverCallback([this, &view](TObject*, int32_t change) {
      if (change == ikvcChanged && view.GetChangeKind() != ikmcNone)
        notices.emplace_back(view.GetChangeKind(), view.GetChangeIndex());
    });
  }
};

TEST(ThumbnailSlots, InsertAppendsPastTheEndAndSelectsTheNewSlot) {
  auto view = ViewWith(0);
  NoticeLog log;
  log.Attach(*view);
  EXPECT_EQ(view->AppendImage(), 0);
  EXPECT_EQ(view->SelectedImage(), 0);
  view->InsertImageNoSelect(1);
  view->InsertImageNoSelect(2);
  ASSERT_EQ(view->GetImageCount(), 3);
  view->InsertImage(99);
  EXPECT_EQ(view->GetImageCount(), 4);
  EXPECT_EQ(view->SelectedImage(), 3);
  view->InsertImageNoSelect(7);
  EXPECT_EQ(view->GetImageCount(), 5);
  EXPECT_EQ(view->SelectedImage(), 3);
  const std::vector<std::pair<int32_t, int32_t>> expected{{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}};
  EXPECT_EQ(log.notices, expected);
  // The notice lives only through its own notification.
  EXPECT_EQ(view->GetChangeKind(), ikmcNone);
}

TEST(ThumbnailSlots, DeletingASlotKeepsASensibleSelection) {
  struct Case {
    const char* name;
    int32_t count, selected, deleted, expectSelected;
    int32_t expectPicture;  // the slot number, before the delete, now selected (-1: none)
  };
  for (const Case& c : {Case{"selected in the middle: the next slot moves into its place", 5, 2, 2, 2, 3},
                        Case{"selected last slot: the new last slot", 5, 4, 4, 3, 3},
                        Case{"a slot before the selected one: same slot, index one less", 5, 3, 1, 2, 3},
                        Case{"a slot after the selected one", 5, 1, 3, 1, 1},
                        Case{"nothing selected stays so", 5, -1, 2, -1, -1},
                        Case{"the only slot", 1, 0, 0, -1, -1},
                        Case{"out of range deletes nothing", 3, 1, 3, 1, 1}}) {
    SCOPED_TRACE(c.name);
    auto view = ViewWith(c.count);
    for (int32_t i = 0; i < c.count; ++i) view->SetImageFileName(i, "slot" + std::to_string(i));
    if (c.selected >= 0) view->SetSelectedImage(c.selected);
    NoticeLog log;
    log.Attach(*view);
    view->DeleteImage(c.deleted);
    const bool deleted = c.deleted < c.count;
    EXPECT_EQ(view->GetImageCount(), deleted ? c.count - 1 : c.count);
    EXPECT_EQ(view->SelectedImage(), c.expectSelected);
    if (c.expectPicture >= 0) {
      EXPECT_EQ(view->GetImageFileName(view->SelectedImage()), "slot" + std::to_string(c.expectPicture));
    }
    if (deleted) {
      ASSERT_EQ(log.notices.size(), 1u);
      EXPECT_EQ(log.notices[0], std::make_pair(int32_t{ikmcDelete}, c.deleted));
    } else {
      EXPECT_TRUE(log.notices.empty());
    }
  }
}

TEST(ThumbnailSlots, InsertingBeforeTheSelectionKeepsTheSamePictureSelected) {
  auto view = ViewWith(3);
  view->SetEnableMultiSelect(true);
  for (int32_t i = 0; i < 3; ++i) view->SetImageFileName(i, "p" + std::to_string(i));
  view->SetSelectedImage(1);
  view->InsertImageNoSelect(0);
  EXPECT_EQ(view->SelectedImage(), 2);
  EXPECT_EQ(view->GetImageFileName(view->SelectedImage()), "p1");
  EXPECT_EQ(view->GetMultiSelectedCount(), 1);
  EXPECT_EQ(view->GetMultiSelectedImage(0), 2);
}

TEST(ThumbnailSlots, GettersAnswerNeutrallyOutOfRangeAndSettersIgnoreIt) {
  auto view = ViewWith(2);
  EXPECT_EQ(view->GetImageFileName(-1), "");
  EXPECT_EQ(view->GetImageBottomText(-1), nullptr);
  EXPECT_EQ(view->GetImageBottomText(2), nullptr);
  EXPECT_EQ(view->GetImageRow(5), 0);
  EXPECT_EQ(view->GetImageCol(-3), 0);
  EXPECT_EQ(view->GetMultiSelectedImage(0), -1);
  view->SetImageFileName(2, "x");
  view->SetImageDelayTime(-1, 5);
  view->SetSelectedImage(7);
  EXPECT_EQ(view->SelectedImage(), -1);
  // A new slot has no name, no ID and the view's background.
  EXPECT_EQ(view->GetImageFileName(0), "");
  EXPECT_EQ(view->GetImageID(0), -1);
  EXPECT_EQ(view->GetImageDelayTime(0), 0);
  // Setting a file name forgets an image ID.
  view->SetImageID(1, 4);
  view->SetImageFileName(1, "b.jpg");
  EXPECT_EQ(view->GetImageID(1), -1);
  EXPECT_EQ(view->GetImageFileName(1), "b.jpg");
}

TEST(ThumbnailSlots, ClearEmptiesTheViewAndItsLists) {
  auto view = ViewWith(4);
  view->SetSelectedImage(2);
  TIKBitmap b;
  b.Allocate(5, 5, ikRGB24);
  view->SetIKBitmap(1, &b);
  view->Clear();
  EXPECT_EQ(view->GetImageCount(), 0);
  EXPECT_EQ(view->SelectedImage(), -1);
  EXPECT_EQ(view->ImageList().ImageCount(), 0);
  EXPECT_EQ(view->AppendImage(), 0);
}

// ------------------------------------------------------------ captions

int32_t TextHeightIn(forms::TFont* font, const char* text) {
  forms::TBitmap surface;
  surface.SetSize(1, 1);
  surface.Canvas()->SetFont(font);
  return surface.Canvas()->TextHeight(text);
}

TEST(ThumbnailCaptions, CaptionsRaiseTheirGapsAndNeverLowerThem) {
  for (TIKMStyle style : {ikmsFlat, ikmsACD}) {
    SCOPED_TRACE(style == ikmsFlat ? "flat" : "3-D");
    auto view = ViewWith(2);
    view->SetStyle(style);
    EXPECT_EQ(view->BottomGap(), 0);
    TIKMText* big = view->GetImageBottomText(0);
    big->Font()->SetSize(20);
    const int32_t h = TextHeightIn(big->Font(), "movie.avi");
    ASSERT_GT(h, 10);
    big->SetCaption(W("movie.avi"));
    EXPECT_EQ(big->Caption(), W("movie.avi"));
    EXPECT_EQ(view->BottomGap(), style == ikmsFlat ? h + 2 : h + 4);
    const int32_t raised = view->BottomGap();
    TIKMText* small = view->GetImageBottomText(1);
    small->Font()->SetSize(6);
    small->SetCaption(W("a"));
    EXPECT_EQ(view->BottomGap(), raised);

    TIKMText* top = view->GetImageTopText(0);
    top->SetCaption(W("Top"));
    EXPECT_EQ(view->UpperGap(), TextHeightIn(top->Font(), "Top") + 2);
    const int32_t upper = view->UpperGap(), bottom = view->BottomGap();
    TIKMText* info = view->GetImageInfoText(0);
    info->Font()->SetSize(40);
    info->SetCaption(W("info"));
    EXPECT_EQ(view->UpperGap(), upper);
    EXPECT_EQ(view->BottomGap(), bottom);
  }
}

// ------------------------------------------------------------ storing

TEST(ThumbnailStore, ThumbStoreFitsEachImageIntoTheBoxAndKeepsTheFullSize) {
  struct Case {
    int32_t w, h, expectW, expectH;
  };
  auto view = ViewWith(1);
  view->SetStoreType(iktThumb);
  view->SetThumbWidth(80);
  view->SetThumbHeight(60);
  for (const Case& c : {Case{40, 20, 80, 40}, Case{1600, 1200, 80, 60}, Case{240, 480, 30, 60},
                        Case{80, 60, 80, 60}, Case{4000, 10, 80, 1}}) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    TIKBitmap b;
    b.Allocate(c.w, c.h, ikRGB24);
    b.Fill(0);
    b.SetPixelRGB24(c.w - 1, c.h - 1, TRGB{0, 0, 255});
    view->SetIKBitmap(0, &b);
    EXPECT_EQ(view->GetStoredWidth(0), c.expectW);
    EXPECT_EQ(view->GetStoredHeight(0), c.expectH);
    EXPECT_EQ(view->GetImageOriginalWidth(0), c.w);
    EXPECT_EQ(view->GetImageOriginalHeight(0), c.h);
    EXPECT_EQ(view->ImageList().ImageCount(), 1);  // the previous image was released
  }
  // iktNormal keeps the image as it is.
  view->SetStoreType(iktNormal);
  TIKBitmap big;
  big.Allocate(300, 200, ikRGB24);
  view->SetIKBitmap(0, &big);
  EXPECT_EQ(view->GetStoredWidth(0), 300);
  EXPECT_EQ(view->GetStoredHeight(0), 200);
  // A nil bitmap changes nothing.
  view->SetIKBitmap(0, nullptr);
  EXPECT_EQ(view->GetStoredWidth(0), 300);
}

TEST(ThumbnailStore, OneBitImagesBecomeGrayOnlyWhenResized) {
  auto view = ViewWith(2);
  view->SetStoreType(iktThumb);
  view->SetThumbWidth(80);
  view->SetThumbHeight(60);
  TIKBitmap page;
  page.Allocate(160, 120, ikMono1);
  page.Fill(1);
  view->SetIKBitmap(0, &page);
  EXPECT_EQ(view->GetStoredPixelFormat(0), ikRGB24);
  TIKBitmap* stored = view->GetTIKBitmap(0);
  ASSERT_NE(stored, nullptr);
  const TRGB c = stored->GetPixelRGB24(40, 30);
  EXPECT_EQ(c.r, 255);
  EXPECT_EQ(c.g, 255);
  view->ReleaseTIKBitmap(stored, false);
  TIKBitmap fitting;
  fitting.Allocate(80, 60, ikMono1);
  view->SetIKBitmap(1, &fitting);
  EXPECT_EQ(view->GetStoredPixelFormat(1), ikMono1);
}

TEST(ThumbnailStore, TransparentPixelsTurnGrayAndTheAlphaPlaneIsResampled) {
  auto view = ViewWith(1);
  view->SetStoreType(iktThumb);
  view->SetThumbWidth(40);
  view->SetThumbHeight(40);
  TIKBitmap b;
  b.Allocate(80, 80, ikRGB24);
  b.Fill(0);
  TIKBitmap* alpha = b.GetAlphaChannel();
  alpha->Fill(0);
  alpha->SetFull(false);
  view->SetIKBitmap(0, &b);
  TIKBitmap* stored = view->GetTIKBitmap(0);
  ASSERT_NE(stored, nullptr);
  const TRGB c = stored->GetPixelRGB24(20, 20);
  EXPECT_EQ(c.r, 128);
  EXPECT_EQ(c.b, 128);
  ASSERT_TRUE(stored->HasAlphaChannel());
  EXPECT_EQ(stored->GetAlphaPixel(20, 20), 0);
  view->ReleaseTIKBitmap(stored, false);
}

TEST(ThumbnailStore, ReplacingTheSelectedImageTellsObserversAndDropsTheLentBitmap) {
  auto view = ViewWith(2);
  view->SetSelectedImage(1);
  TIKBitmap b;
  b.Allocate(10, 10, ikRGB24);
  view->SetIKBitmap(1, &b);
  TIKBitmap* lent = view->GetCurrentIKBitmap();
  ASSERT_NE(lent, nullptr);
  EXPECT_EQ(lent->Width(), 10);
  int notified = 0;
  view->RegisterObserverCallback([&](TObject*, int32_t) { ++notified; });
  TIKBitmap c;
  c.Allocate(20, 20, ikRGB24);
  view->SetIKBitmap(1, &c);
  EXPECT_EQ(notified, 1);
  TIKBitmap* again = view->GetCurrentIKBitmap();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Width(), 20);
}

// ------------------------------------------------------------ loading real files

class ThumbnailFiles : public testing::TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    view = std::make_unique<TImgKitMView>(nullptr);
    view->SetStoreType(iktThumb);
    view->SetThumbWidth(80);
    view->SetThumbHeight(60);
  }
  void TearDown() override {
    view.reset();
    TempFolderTest::TearDown();
  }
  // A picture of one colour made by ImageMagick.
  std::string Picture(const std::string& name, int w, int h, const char* colour = "#2080C0") {
    const std::string path = folder_ + name;
    const std::string cmd = "convert -size " + std::to_string(w) + "x" + std::to_string(h) + " xc:'" + colour +
                            "' -type TrueColor '" + path + "'";
    EXPECT_EQ(std::system((cmd + " 2>/dev/null").c_str()), 0) << cmd;
    return path;
  }
  TRGB StoredPixel(int32_t index, int32_t x, int32_t y) {
    TIKBitmap* b = view->GetTIKBitmap(index);
    EXPECT_NE(b, nullptr);
    if (!b) return TRGB{};
    const TRGB c = b->GetPixelRGB24(x, y);
    view->ReleaseTIKBitmap(b, false);
    return c;
  }
  std::unique_ptr<TImgKitMView> view;
};

TEST_F(ThumbnailFiles, JpegAndBmpFilesStoreFittedThumbnailsWithTheirFullSize) {
  struct Case {
    const char* name;
    int w, h, expectW, expectH;
  };
  for (const Case& c : {Case{"wide.jpg", 40, 20, 80, 40}, Case{"big.jpg", 1600, 1200, 80, 60},
                        Case{"tall.jpg", 240, 480, 30, 60}, Case{"odd.jpg", 1001, 333, 80, 26},
                        Case{"wide.bmp", 40, 20, 80, 40}, Case{"big.bmp", 1600, 1200, 80, 60},
                        Case{"tall.bmp", 240, 480, 30, 60}}) {
    SCOPED_TRACE(c.name);
    const std::string file = Picture(c.name, c.w, c.h);
    const int32_t i = view->AppendImage();
    EXPECT_TRUE(view->SetImageFromFile(i, file));
    EXPECT_EQ(view->GetStoredWidth(i), c.expectW);
    EXPECT_EQ(view->GetStoredHeight(i), c.expectH);
    EXPECT_EQ(view->GetImageOriginalWidth(i), c.w);
    EXPECT_EQ(view->GetImageOriginalHeight(i), c.h);
    const TRGB px = StoredPixel(i, c.expectW / 2, c.expectH / 2);
    EXPECT_NEAR(px.r, 0x20, 4);
    EXPECT_NEAR(px.g, 0x80, 4);
    EXPECT_NEAR(px.b, 0xC0, 4);
    // The reader's parameters went to the slot's record.
    TIOParamsVals* params = view->GetMultiIO()->GetImageParams(i);
    ASSERT_NE(params, nullptr);
    EXPECT_EQ(params->FileType, std::string(c.name).ends_with(".jpg") ? ioJPEG : ioBMP);
  }
  EXPECT_EQ(view->GetMultiIO()->ParamsCount(), view->GetImageCount());
}

TEST_F(ThumbnailFiles, LargeThumbBoxesDoNotAskForEmbeddedThumbnails) {
  const std::string file = Picture("p.jpg", 640, 480);
  view->SetThumbWidth(300);
  view->SetThumbHeight(200);
  const int32_t i = view->AppendImage();
  ASSERT_TRUE(view->SetImageFromFile(i, file));
  TIOParamsVals* p = view->GetMultiIO()->GetImageParams(i);
  EXPECT_FALSE(p->RawGetEmbeddedPreview);
  EXPECT_EQ(view->GetStoredWidth(i), 266);
  EXPECT_EQ(view->GetStoredHeight(i), 200);
}

TEST_F(ThumbnailFiles, ATextFileGivesTheQuestionMarkPlaceholder) {
  const std::string file = folder_ + "notes.txt";
  std::ofstream(file) << "not a picture at all\n";
  const int32_t i = view->AppendImage();
  EXPECT_FALSE(view->SetImageFromFile(i, file));
  ASSERT_TRUE(view->HasStoredImage(i));
  EXPECT_EQ(view->GetStoredWidth(i), 80);
  EXPECT_EQ(view->GetStoredHeight(i), 60);
  TIKBitmap* b = view->GetTIKBitmap(i);
  ASSERT_NE(b, nullptr);
  int white = 0, blue = 0, gray = 0;
  for (int32_t y = 0; y < b->Height(); ++y) {
    for (int32_t x = 0; x < b->Width(); ++x) {
      const TRGB c = b->GetPixelRGB24(x, y);
      if (c.r == 255 && c.g == 255 && c.b == 255) ++white;
      if (c.r == 0 && c.g == 0 && c.b == 255) ++blue;
      if (c.r == 128 && c.g == 128 && c.b == 128) ++gray;
    }
  }
  view->ReleaseTIKBitmap(b, false);
  EXPECT_EQ(StoredPixel(i, 0, 0).r, 255);
  EXPECT_GT(white, 80 * 60 / 2);
  EXPECT_GT(blue, 30);  // the glyph in front
  EXPECT_GT(gray, 10);  // its shadow, 3 pixels lower right
}

TEST_F(ThumbnailFiles, AWrongImageHandlerMayDrawThePlaceholderItself) {
  const std::string file = folder_ + "broken.jpg";
  std::ofstream(file) << "\xFF\xD8\xFF garbage";
  int32_t calledFor = -1;
  view->OnWrongImage = [&](TObject*, TIKBitmap* out, int32_t idx, bool& handled) {
    calledFor = idx;
    EXPECT_EQ(out->Width(), 80);
    EXPECT_EQ(out->Height(), 60);
    out->Fill(0);
    handled = true;
  };
  view->AppendImage();
  const int32_t i = view->AppendImage();
  EXPECT_FALSE(view->SetImageFromFile(i, file));
  EXPECT_EQ(calledFor, i);
  EXPECT_EQ(StoredPixel(i, 40, 30).r, 0);
  // Past the end nothing is loaded.
  EXPECT_FALSE(view->SetImageFromFile(5, file));
}

class ThumbnailVideo : public ThumbnailFiles {
protected:
  std::string Clip(const std::string& name, const std::string& args) {
    const std::string path = folder_ + name;
    EXPECT_TRUE(testing::MakeMedia(path, "-f lavfi -i testsrc=size=160x120:rate=25 " + args)) << args;
    return path;
  }
  // The frame through the component itself, reduced as the view reduces.
  std::string ExpectedThumb(const std::string& file, int32_t frame) {
    TImgKitIO io(nullptr);
    EXPECT_GT(io.OpenMediaFile(file), frame);
    io.LoadFromMediaFile(frame);
    TIKBitmap thumb;
    thumb.Allocate(80, 60, ikRGB24);
    Resample24(io.IKBitmap(), &thumb, rfFastLinear);
    return testing::Bgr24Rows(thumb);
  }
  std::string StoredRows(int32_t index) {
    TIKBitmap* b = view->GetTIKBitmap(index);
    if (!b) return "";
    const std::string rows = testing::Bgr24Rows(*b);
    view->ReleaseTIKBitmap(b, false);
    return rows;
  }
};

TEST_F(ThumbnailVideo, AnAviFileShowsItsFirstFrame) {
  const std::string file = Clip("clip.avi", "-frames:v 5 -c:v rawvideo -pix_fmt bgr24");
  const int32_t i = view->AppendImage();
  ASSERT_TRUE(view->SetImageFromFile(i, file));
  EXPECT_EQ(view->GetStoredWidth(i), 80);
  EXPECT_EQ(view->GetStoredHeight(i), 60);
  EXPECT_EQ(view->GetImageOriginalWidth(i), 160);
  EXPECT_TRUE(StoredRows(i) == ExpectedThumb(file, 0));
}

TEST_F(ThumbnailVideo, FrameNamesShareOneReaderPerFile) {
  const std::string file = Clip("clip.mkv", "-t 2 -c:v ffv1 -pix_fmt bgr0");
  const int32_t a = view->AppendImage();
  view->SetImageFileName(a, file + "::12");
  const int32_t b = view->AppendImage();
  view->SetImageFileName(b, file + "::13");
  EXPECT_FALSE(view->HasStoredImage(a));
  // Lending a slot without an image loads it first.
  EXPECT_TRUE(StoredRows(a) == ExpectedThumb(file, 12));
  EXPECT_TRUE(StoredRows(b) == ExpectedThumb(file, 13));
  EXPECT_FALSE(StoredRows(a) == StoredRows(b));
  EXPECT_EQ(view->FrameReaderCount(), 1);
  // 25 frames a second: 4 hundredths, kept in milliseconds.
  EXPECT_EQ(view->GetImageDelayTime(a), 40);
  EXPECT_EQ(view->GetImageOriginalWidth(a), 160);
}

TEST_F(ThumbnailVideo, AMissingClipGivesThePlaceholder) {
  const int32_t i = view->AppendImage();
  view->SetImageFileName(i, folder_ + "gone.mkv::3");
  EXPECT_FALSE(view->LoadSlotImage(i));
  EXPECT_EQ(view->GetStoredWidth(i), 80);
  EXPECT_EQ(StoredPixel(i, 0, 0).r, 255);
}

TEST_F(ThumbnailFiles, ImageIdRequestsFillSlotsOnDemand) {
  const int32_t i = view->AppendImage();
  view->SetImageID(i, 7);
  int32_t asked = -1;
  TIKBitmap source;
  source.Allocate(160, 120, ikRGB24);
  view->OnImageIDRequestEx = [&](TObject*, int32_t id, TIKBitmap*& out) {
    asked = id;
    out = &source;
  };
  ASSERT_TRUE(view->LoadSlotImage(i));
  EXPECT_EQ(asked, 7);
  EXPECT_EQ(view->GetStoredWidth(i), 80);
}

// ------------------------------------------------------------ the media browser's call sequence

TEST_F(ThumbnailFiles, TheMediaBrowsersAppendSequence) {
  // The browser's view as the main window sets it up.
  view->SetBackground(forms::clWhite);
  view->SetStyle(ikmsFlat);
  view->SetImageCacheSize(4);
  view->SetEnableMultiSelect(true);
  view->SetFillCellBackground(true);
  view->SoftShadow().Enabled = true;
  view->SetDisplayCacheEnabled(true);
  // An album: two pictures and a video with its companion picture.
  const std::string a = Picture("a.jpg", 640, 480, "#FF0000");
  const std::string b = Picture("b.bmp", 100, 200, "#00FF00");
  const std::string companion = Picture("rec.jpg", 320, 240, "#0000FF");
  struct Entry {
    std::string picture;
    const char* caption;
  };
  const std::vector<Entry> album{{a, "a.jpg"}, {b, "b.bmp"}, {companion, "rec.avi"}};
  view->Clear();
  for (const Entry& e : album) {
    const int32_t i = view->AppendImage();
    view->SetImageFileName(i, e.picture);
    EXPECT_TRUE(view->SetImageFromFile(i, e.picture));
    view->GetImageBottomText(i)->SetCaption(W(e.caption));
  }
  ASSERT_EQ(view->GetImageCount(), 3);
  EXPECT_EQ(view->SelectedImage(), 2);
  EXPECT_EQ(view->GetMultiSelectedCount(), 1);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(view->GetImageFileName(i), album[i].picture);
    EXPECT_EQ(view->GetImageBottomText(i)->Caption(), W(album[i].caption));
  }
  EXPECT_EQ(view->GetStoredWidth(1), 30);
  EXPECT_EQ(view->GetStoredHeight(1), 60);
  EXPECT_NEAR(StoredPixel(2, 40, 30).b, 255, 3);
  EXPECT_EQ(view->GetImageOriginalWidth(0), 640);
  EXPECT_EQ(view->BottomGap(), TextHeightIn(view->GetImageBottomText(0)->Font(), "a.jpg") + 2);
  EXPECT_EQ(view->GetMultiIO()->ParamsCount(), 3);
  // The browser's delete: the selection moves to the new last slot.
  view->DeleteImage(2);
  EXPECT_EQ(view->SelectedImage(), 1);
  EXPECT_EQ(view->GetMultiIO()->ParamsCount(), 2);
  EXPECT_EQ(view->GetMultiIO()->GetImageParams(1)->FileType, ioBMP);
  // Changing the album clears the view.
  view->Clear();
  EXPECT_EQ(view->GetImageCount(), 0);
  EXPECT_EQ(view->GetMultiIO()->ParamsCount(), 0);
}

}  // namespace
}  // namespace imaging
