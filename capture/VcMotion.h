#pragma once
// The motion detector: each frame is compared with the one before over a
// grid of cells, each with a sensitivity digit, and the result is one
// number between 0 and 1 that the motion events and recording on motion
// act on.
#include <cstdint>
#include <vector>

#include "platform/rtl/Types.h"
#include "platform/win/Bitmap.h"

namespace capture {


class TImplMotionDetector {
public:
  TImplMotionDetector();

  bool Enabled = false;
  int32_t DefaultDigit = 5;
  bool SkipNextResult = true;
  bool CompareBlue = true;
  bool CompareGreen = true;
  bool GreyScale = false;
  bool CompareRed = true;
  rtl::String Grid;
  double CellWidth = 0;
  double CellHeight = 0;
  bool GridValid = false;
  int64_t LastCompareTime = -1;
  double MaxDetectionsPerSecond = 0;
  int64_t MinCompareInterval = 0;
  double GlobalMotionRatio = 0;
  int32_t ReduceCPULoad = 1;
  int32_t PixelStep = 1;
  bool ReduceVideoNoise = false;
  bool FrameSizeChanged = false;
  int32_t BytesPerPixel = 0;
  int32_t GridColumns = 10;
  int32_t GridRows = 10;

  // Per cell, by column and row.
  int32_t Digit(int32_t Column, int32_t Row) const { return Digits_[Cell(Column, Row)]; }
  int32_t Threshold(int32_t Column, int32_t Row) const { return 256 - 28 * Digit(Column, Row); }
  // The last pixel coordinate of a column (row) of cells.
  const std::vector<int32_t>& ColumnBounds() const { return ColumnBounds_; }
  const std::vector<int32_t>& RowBounds() const { return RowBounds_; }

  // Compares Current with Previous (which may be null); true when motion
  // was measured, with the value in GlobalMotionRatio. Current's pixels
  // may be rewritten by the grey and noise passes.
  bool Detect(const win::DIBSECTION* Previous, const win::DIBSECTION* Current, int64_t FrameTime);

  void SetGridSize(int32_t Columns, int32_t Rows);
  void SetGridString(const rtl::String& S);
  bool ValidateGrid(const rtl::String& S) const;
  void SetGlobalSensitivity(int32_t Digit);
  void FillGrid(int32_t Digit);
  void SetCell(int32_t Column, int32_t Row, int32_t Digit);
  void RebuildGridString();
  void ResetCounters();
  void ComputePixelStep(int32_t Width, int32_t Height);
  void ComputeCellBounds(int32_t Width, int32_t Height);
  void SetMaxDetectionsPerSecond(double Value);

  // The grey and noise passes on a frame of this geometry; exposed for
  // tests, Detect runs them as switched on.
  void ConvertToGrey(uint8_t* Bits, int32_t Width, int32_t Height, int32_t Stride) const;
  void ReduceNoise(uint8_t* Bits, int32_t Width, int32_t Height, int32_t Stride);

private:
  size_t Cell(int32_t Column, int32_t Row) const {
    return static_cast<size_t>(Row) * static_cast<size_t>(GridColumns) + static_cast<size_t>(Column);
  }
  // Digits row by row, so that one row of cells is contiguous in the scan.
  std::vector<uint8_t> Digits_;
  std::vector<int32_t> ColumnBounds_, RowBounds_;
  // The scan's plan, made with the geometry: the cell column of every
  // sampled x, grouped into runs of one cell, and the cell row of every
  // sampled row.
  struct TRun {
    int32_t Column;
    int32_t First;  // index of the first sampled pixel
    int32_t Count;
  };
  std::vector<TRun> Runs_;
  // The runs of more than one sampled pixel.
  std::vector<TRun> MultiRuns_;
  int32_t MultiRunPixels_ = 0;
  std::vector<int32_t> SampledRowCells_;
  int32_t SampledColumns_ = 0;
  // The counters of the cell row being scanned: a row's cells are never
  // touched again once the scan has gone past it.
  std::vector<int32_t> Changed_, Compared_;
  std::vector<uint8_t> NoiseCopy_;
  // Per cell row: the one digit all its cells share, or -1.
  std::vector<int32_t> RowDigit_;
  bool RowDigitDirty_ = true;
  int32_t GeometryWidth_ = 0, GeometryHeight_ = 0;
  void PlanScan(int32_t Width, int32_t Height);
};

// The real length of a stored row of a DIB section, rows padded to 4 bytes
// when the section does not say.
int32_t DibStride(const win::DIBSECTION& Section);

}  // namespace capture
