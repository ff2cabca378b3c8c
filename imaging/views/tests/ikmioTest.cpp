// The multi-image component keeps one parameter record per slot of its
// view, through inserts, deletes, moves, swaps and the view's end.
#include "imaging/views/ikmio.h"

#include <gtest/gtest.h>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/views/ikmview.h"

namespace imaging {
namespace {

TEST(MultiImageIO, AttachingFillsOneRecordPerSlotAndFollowsInsertsAndDeletes) {
  TImgKitMView view(nullptr);
  for (int i = 0; i < 5; ++i) view.AppendImage();
  TImgKitMIO mio(nullptr);
  mio.SetAttachedMView(&view);
  ASSERT_EQ(mio.ParamsCount(), 5);
  // Mark the records so that their order can be read back.
  for (int i = 0; i < 5; ++i) mio.GetImageParams(i)->Width = 100 + i;
  mio.GetImageParams(4)->JpegQuality = 33;
  view.AppendImage();
  ASSERT_EQ(mio.ParamsCount(), 6);
  // The new record takes the writer options of the previous last one.
  EXPECT_EQ(mio.GetImageParams(5)->JpegQuality, 33);
  EXPECT_EQ(mio.GetImageParams(5)->Width, 0);
  view.InsertImageNoSelect(1);
  EXPECT_EQ(mio.GetImageParams(2)->Width, 101);
  view.DeleteImage(2);
  ASSERT_EQ(mio.ParamsCount(), 6);
  EXPECT_EQ(mio.GetImageParams(2)->Width, 102);
  EXPECT_EQ(mio.GetImageParams(-1), nullptr);
  EXPECT_EQ(mio.GetImageParams(6), nullptr);
}

TEST(MultiImageIO, MovesAndSwaps) {
  TImgKitMIO mio(nullptr);
  for (int i = 0; i < 4; ++i) {
    mio.InsertParams(i);
    mio.GetImageParams(i)->Width = i;
  }
  auto order = [&] {
    std::vector<int32_t> v;
    for (int i = 0; i < mio.ParamsCount(); ++i) v.push_back(mio.GetImageParams(i)->Width);
    return v;
  };
  mio.MoveParams(0, 2);
  EXPECT_EQ(order(), (std::vector<int32_t>{1, 2, 0, 3}));
  mio.MoveParams(1, 9);
  EXPECT_EQ(order(), (std::vector<int32_t>{1, 0, 3, 2}));
  mio.MoveParams(-1, 0);
  mio.MoveParams(2, 2);
  mio.SwapParams(0, 3);
  EXPECT_EQ(order(), (std::vector<int32_t>{2, 0, 3, 1}));
}

TEST(MultiImageIO, TheViewsEndLeavesTheComponentDetachedWithItsRecords) {
  TImgKitMIO mio(nullptr);
  {
    TImgKitMView view(nullptr);
    view.AppendImage();
    view.AppendImage();
    mio.SetAttachedMView(&view);
    EXPECT_EQ(mio.AttachedMView(), &view);
  }
  EXPECT_EQ(mio.AttachedMView(), nullptr);
  EXPECT_EQ(mio.ParamsCount(), 2);
  TIKView plain(nullptr);
  EXPECT_THROW(mio.SetAttachedMView(&plain), EIKError);
}

TEST(MultiImageIO, AcquiredImagesJoinTheViewAtTheAcquirePosition) {
  TImgKitMView view(nullptr);
  view.AppendImage();
  view.AppendImage();
  TImgKitMIO* mio = view.GetMultiIO();
  mio->AcquirePosition = 7;
  TIKBitmap page;
  page.Allocate(30, 20, ikRGB24);
  TIOParamsVals* params = nullptr;
  mio->DoAcquireBitmap(&page, params);
  ASSERT_EQ(view.GetImageCount(), 3);
  EXPECT_EQ(params, mio->GetImageParams(2));
  EXPECT_EQ(view.GetStoredWidth(2), 30);
  EXPECT_EQ(view.GetImageDelayTime(2), 100);
  EXPECT_EQ(mio->AcquirePosition, 3);
  EXPECT_EQ(view.SelectedImage(), 1);  // acquisitions do not select
  // A handler that takes the image keeps it out of the view.
  mio->OnAcquireBitmap = [](forms::TObject*, TIKBitmap*, bool& handled) { handled = true; };
  mio->DoAcquireBitmap(&page, params);
  EXPECT_EQ(params, nullptr);
  EXPECT_EQ(view.GetImageCount(), 3);
}

}  // namespace
}  // namespace imaging
