#pragma once
// The small format-block helpers the capture component shares: where a
// media type keeps its bitmap header and frame duration, format names,
// image sizes, size texts, the PCM format table, the audio level
// arithmetic, and the folder helpers of the file-writing code.
#include <cstdint>

#include "capture/VcTypes.h"
#include "platform/mg/MediaType.h"

namespace capture {

// 0 VideoInfo, 1 VideoInfo2, 2 DV info, 3 MPEG-1 video, 4 MPEG-2 video,
// 5 MPEG streams, 6 other stream, 7 wave format, 8 anything else.
int32_t GetVideoFormatKind(const mg::AM_MEDIA_TYPE& MediaType);
// Defined for kinds 0, 1, 3 and 4 with a block long enough to hold it.
bool GetVideoFrameInfo(const mg::AM_MEDIA_TYPE& MediaType, uint32_t& BitRate, int64_t& FrameDuration,
                       int32_t& Width, int32_t& Height);
// The bitmap header at the place the kind gives; null for the others.
mg::BITMAPINFOHEADER* KindBitmapHeader(mg::AM_MEDIA_TYPE& MediaType, int32_t Kind);
// Exact names only; any other name leaves both outputs as they are.
void ParseFourCCName(const String& Name, uint32_t& Compression, uint16_t& BitCount);
int32_t DibImageSize(const mg::BITMAPINFOHEADER* Header);
bool ParseSizeText(const String& Text, int32_t& Width, int32_t& Height);
// Right-aligned by leading blanks: " 640x480", "  88x72", "1280x720".
String PaddedSizeText(int32_t Width, int32_t Height);
bool IsDVSubtypeName(const String& Name);

bool FolderExists(const String& Path);
bool ForceFolders(const String& Path);
void ForceFileFolder(const String& FileName);

// ---- PCM formats -------------------------------------------------------------
struct TAudioFormatSpec {
  uint32_t Rate;
  uint16_t Bits;
  uint16_t Channels;
};
// The table row of a value; af_default stands for 22050 Hz, 16 bits, stereo.
TAudioFormatSpec AudioFormatSpec(TAudioFormat Format);
// Writes channels, rate and bits with the derived block alignment and
// byte rate; the tag and the extra size stay as they are.
void FillWaveFormat(TAudioFormat Format, mg::WAVEFORMATEX& Wave);

// ---- audio levels ------------------------------------------------------------
// 0..65535 to 0.0..1.0, and -32768..32767 to -1.0..+1.0.
double MixLevelOf(int32_t Level);
double PanOf(int32_t Balance);
// The speaker line's two channel values for a volume and balance; each is
// kept inside the 16-bit range the line takes.
void SpeakerChannelsOf(int32_t Volume, int32_t Balance, uint32_t& Left, uint32_t& Right);
void SpeakerLevelsOf(uint32_t Left, uint32_t Right, int32_t& Volume, int32_t& Balance);
bool GetSpeakerLevels(int32_t& Volume, int32_t& Balance);
bool SetSpeakerLevels(int32_t Volume, int32_t Balance);

}  // namespace capture
