#pragma once
// The published identifiers the program and its filters use: major types,
// subtypes, format types, pin categories, time formats, filter classes,
// device categories and property sets.
#include "platform/mg/Types.h"

namespace mg {

constexpr GUID MakeGuid(uint32_t d1, uint16_t d2, uint16_t d3, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3,
                        uint8_t b4, uint8_t b5, uint8_t b6, uint8_t b7) {
  return GUID{d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};
}
// {XXXXXXXX-0000-0010-8000-00AA00389B71}: four-character codes and wave format tags.
constexpr GUID FourCCGuid(uint32_t fourcc) {
  return MakeGuid(fourcc, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);
}
// The RGB family and other early types share this tail.
constexpr GUID E436Guid(uint32_t d1) {
  return MakeGuid(d1, 0x524F, 0x11CE, 0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
}
constexpr GUID Mpeg2Guid(uint32_t d1) {
  return MakeGuid(d1, 0xDB46, 0x11CF, 0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA);
}
constexpr GUID FormatGuid(uint32_t d1) {
  return MakeGuid(d1, 0xC356, 0x11CE, 0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);
}
constexpr GUID PinCategoryGuid(uint32_t d1) {
  return MakeGuid(d1, 0x0353, 0x11D1, 0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA);
}
constexpr GUID TimeFormatGuid(uint32_t d1) {
  return MakeGuid(d1, 0x8C82, 0x11CF, 0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6);
}

inline constexpr GUID GUID_NULL{};

// Major types.
inline constexpr GUID MEDIATYPE_Video = FourCCGuid(MAKEFOURCC('v', 'i', 'd', 's'));
inline constexpr GUID MEDIATYPE_Audio = FourCCGuid(MAKEFOURCC('a', 'u', 'd', 's'));
inline constexpr GUID MEDIATYPE_Text = FourCCGuid(MAKEFOURCC('t', 'x', 't', 's'));
inline constexpr GUID MEDIATYPE_Interleaved = FourCCGuid(MAKEFOURCC('i', 'a', 'v', 's'));
inline constexpr GUID MEDIATYPE_Stream = E436Guid(0xE436EB83);
inline constexpr GUID MEDIATYPE_AnalogVideo = MakeGuid(0x0482DDE1, 0x7817, 0x11CF, 0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65);
inline constexpr GUID MEDIATYPE_AnalogAudio = MakeGuid(0x0482DEE1, 0x7817, 0x11CF, 0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65);

// Uncompressed RGB.
inline constexpr GUID MEDIASUBTYPE_RGB1 = E436Guid(0xE436EB78);
inline constexpr GUID MEDIASUBTYPE_RGB4 = E436Guid(0xE436EB79);
inline constexpr GUID MEDIASUBTYPE_RGB8 = E436Guid(0xE436EB7A);
inline constexpr GUID MEDIASUBTYPE_RGB565 = E436Guid(0xE436EB7B);
inline constexpr GUID MEDIASUBTYPE_RGB555 = E436Guid(0xE436EB7C);
inline constexpr GUID MEDIASUBTYPE_RGB24 = E436Guid(0xE436EB7D);
inline constexpr GUID MEDIASUBTYPE_RGB32 = E436Guid(0xE436EB7E);
inline constexpr GUID MEDIASUBTYPE_ARGB32 = MakeGuid(0x773C9AC0, 0x3274, 0x11D0, 0xB7, 0x24, 0x00, 0xAA, 0x00, 0x6C, 0x1A, 0x01);
// Streams and containers.
inline constexpr GUID MEDIASUBTYPE_MPEG1Packet = E436Guid(0xE436EB80);
inline constexpr GUID MEDIASUBTYPE_MPEG1Payload = E436Guid(0xE436EB81);
inline constexpr GUID MEDIASUBTYPE_MPEG1System = E436Guid(0xE436EB84);
inline constexpr GUID MEDIASUBTYPE_MPEG1Video = E436Guid(0xE436EB86);
inline constexpr GUID MEDIASUBTYPE_MPEG1Audio = E436Guid(0xE436EB87);
inline constexpr GUID MEDIASUBTYPE_Avi = E436Guid(0xE436EB88);
inline constexpr GUID MEDIASUBTYPE_WAVE = E436Guid(0xE436EB8B);
inline constexpr GUID MEDIASUBTYPE_Asf = MakeGuid(0x3DB80F90, 0x9412, 0x11D1, 0xAD, 0xED, 0x00, 0x00, 0xF8, 0x75, 0x4B, 0x99);
inline constexpr GUID MEDIASUBTYPE_MPEG1AudioPayload = FourCCGuid(0x00000050);
inline constexpr GUID MEDIASUBTYPE_PCM = FourCCGuid(0x00000001);
inline constexpr GUID MEDIASUBTYPE_MPEG2_VIDEO = Mpeg2Guid(0xE06D8026);
inline constexpr GUID MEDIASUBTYPE_MPEG2_PROGRAM = Mpeg2Guid(0xE06D8022);
inline constexpr GUID MEDIASUBTYPE_MPEG2_TRANSPORT = Mpeg2Guid(0xE06D8023);
inline constexpr GUID MEDIASUBTYPE_MPEG2_AUDIO = Mpeg2Guid(0xE06D802B);
inline constexpr GUID KSDATAFORMAT_SUBTYPE_VPVideo = MakeGuid(0x5A9B6A40, 0x1A22, 0x11D1, 0xBA, 0xD9, 0x00, 0x60, 0x97, 0x44, 0x11, 0x1A);
// Four-character-code video.
inline constexpr GUID MEDIASUBTYPE_YUY2 = FourCCGuid(MAKEFOURCC('Y', 'U', 'Y', '2'));
inline constexpr GUID MEDIASUBTYPE_UYVY = FourCCGuid(MAKEFOURCC('U', 'Y', 'V', 'Y'));
inline constexpr GUID MEDIASUBTYPE_YVYU = FourCCGuid(MAKEFOURCC('Y', 'V', 'Y', 'U'));
inline constexpr GUID MEDIASUBTYPE_I420 = FourCCGuid(MAKEFOURCC('I', '4', '2', '0'));
inline constexpr GUID MEDIASUBTYPE_IYUV = FourCCGuid(MAKEFOURCC('I', 'Y', 'U', 'V'));
inline constexpr GUID MEDIASUBTYPE_YV12 = FourCCGuid(MAKEFOURCC('Y', 'V', '1', '2'));
inline constexpr GUID MEDIASUBTYPE_YVU9 = FourCCGuid(MAKEFOURCC('Y', 'V', 'U', '9'));
inline constexpr GUID MEDIASUBTYPE_YUV9 = FourCCGuid(MAKEFOURCC('Y', 'U', 'V', '9'));
inline constexpr GUID MEDIASUBTYPE_Y422 = FourCCGuid(MAKEFOURCC('Y', '4', '2', '2'));
inline constexpr GUID MEDIASUBTYPE_NV12 = FourCCGuid(MAKEFOURCC('N', 'V', '1', '2'));
inline constexpr GUID MEDIASUBTYPE_MJPG = FourCCGuid(MAKEFOURCC('M', 'J', 'P', 'G'));
inline constexpr GUID MEDIASUBTYPE_DVCS = FourCCGuid(MAKEFOURCC('D', 'V', 'C', 'S'));
inline constexpr GUID MEDIASUBTYPE_DVSD = FourCCGuid(MAKEFOURCC('D', 'V', 'S', 'D'));
inline constexpr GUID MEDIASUBTYPE_dvsd = FourCCGuid(MAKEFOURCC('d', 'v', 's', 'd'));
inline constexpr GUID MEDIASUBTYPE_dvhd = FourCCGuid(MAKEFOURCC('d', 'v', 'h', 'd'));
inline constexpr GUID MEDIASUBTYPE_dvsl = FourCCGuid(MAKEFOURCC('d', 'v', 's', 'l'));
inline constexpr GUID MEDIASUBTYPE_dv25 = FourCCGuid(MAKEFOURCC('d', 'v', '2', '5'));
inline constexpr GUID MEDIASUBTYPE_dv50 = FourCCGuid(MAKEFOURCC('d', 'v', '5', '0'));
inline constexpr GUID MEDIASUBTYPE_dvh1 = FourCCGuid(MAKEFOURCC('d', 'v', 'h', '1'));
inline constexpr GUID MEDIASUBTYPE_dvsc = FourCCGuid(MAKEFOURCC('d', 'v', 's', 'c'));

// Format types.
inline constexpr GUID FORMAT_None = MakeGuid(0x0F6417D6, 0xC318, 0x11D0, 0xA4, 0x3F, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96);
inline constexpr GUID FORMAT_VideoInfo = FormatGuid(0x05589F80);
inline constexpr GUID FORMAT_WaveFormatEx = FormatGuid(0x05589F81);
inline constexpr GUID FORMAT_MPEGVideo = FormatGuid(0x05589F82);
inline constexpr GUID FORMAT_MPEGStreams = FormatGuid(0x05589F83);
inline constexpr GUID FORMAT_DvInfo = FormatGuid(0x05589F84);
inline constexpr GUID FORMAT_VideoInfo2 = MakeGuid(0xF72A76A0, 0xEB0A, 0x11D0, 0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA);
inline constexpr GUID FORMAT_MPEG2Video = Mpeg2Guid(0xE06D80E3);

// Pin categories and the builder's search directions.
inline constexpr GUID PIN_CATEGORY_CAPTURE = PinCategoryGuid(0xFB6C4281);
inline constexpr GUID PIN_CATEGORY_PREVIEW = PinCategoryGuid(0xFB6C4282);
inline constexpr GUID PIN_CATEGORY_ANALOGVIDEOIN = PinCategoryGuid(0xFB6C4283);
inline constexpr GUID PIN_CATEGORY_VBI = PinCategoryGuid(0xFB6C4284);
inline constexpr GUID PIN_CATEGORY_VIDEOPORT = PinCategoryGuid(0xFB6C4285);
inline constexpr GUID PIN_CATEGORY_NABTS = PinCategoryGuid(0xFB6C4286);
inline constexpr GUID PIN_CATEGORY_EDS = PinCategoryGuid(0xFB6C4287);
inline constexpr GUID PIN_CATEGORY_TELETEXT = PinCategoryGuid(0xFB6C4288);
inline constexpr GUID PIN_CATEGORY_CC = PinCategoryGuid(0xFB6C4289);
inline constexpr GUID PIN_CATEGORY_STILL = PinCategoryGuid(0xFB6C428A);
inline constexpr GUID PIN_CATEGORY_TIMECODE = PinCategoryGuid(0xFB6C428B);
inline constexpr GUID PIN_CATEGORY_VIDEOPORT_VBI = PinCategoryGuid(0xFB6C428C);
inline constexpr GUID LOOK_UPSTREAM_ONLY = MakeGuid(0xAC798BE0, 0x98E3, 0x11D1, 0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5);
inline constexpr GUID LOOK_DOWNSTREAM_ONLY = MakeGuid(0xAC798BE1, 0x98E3, 0x11D1, 0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5);
inline constexpr GUID AMPROPSETID_Pin = MakeGuid(0x9B00F101, 0x1567, 0x11D1, 0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5);
inline constexpr uint32_t AMPROPERTY_PIN_CATEGORY = 0;
inline constexpr GUID PROPSETID_VIDCAP_VIDEOPROCAMP = MakeGuid(0xC6E13360, 0x30AC, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56);
inline constexpr GUID PROPSETID_VIDCAP_CAMERACONTROL = MakeGuid(0xC6E13370, 0x30AC, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56);

// Time formats.
inline constexpr GUID TIME_FORMAT_NONE{};
inline constexpr GUID TIME_FORMAT_FRAME = TimeFormatGuid(0x7B785570);
inline constexpr GUID TIME_FORMAT_BYTE = TimeFormatGuid(0x7B785571);
inline constexpr GUID TIME_FORMAT_SAMPLE = TimeFormatGuid(0x7B785572);
inline constexpr GUID TIME_FORMAT_FIELD = TimeFormatGuid(0x7B785573);
inline constexpr GUID TIME_FORMAT_MEDIA_TIME = TimeFormatGuid(0x7B785574);

// Graph objects and system filters.
inline constexpr GUID CLSID_FilterGraph = E436Guid(0xE436EBB3);
inline constexpr GUID CLSID_FilterGraphNoThread = E436Guid(0xE436EBB8);
inline constexpr GUID CLSID_SystemClock = E436Guid(0xE436EBB1);
inline constexpr GUID CLSID_AsyncReader = E436Guid(0xE436EBB5);
inline constexpr GUID CLSID_CaptureGraphBuilder2 = MakeGuid(0xBF87B6E1, 0x8C27, 0x11D0, 0xB3, 0xF0, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5);
inline constexpr GUID CLSID_SystemDeviceEnum = MakeGuid(0x62BE5D10, 0x60EB, 0x11D0, 0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
inline constexpr GUID CLSID_SmartTee = MakeGuid(0xCC58E280, 0x8AA1, 0x11D1, 0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5);
inline constexpr GUID CLSID_InfTee = MakeGuid(0xF8388A40, 0xD5BB, 0x11D0, 0xBE, 0x5A, 0x00, 0x80, 0xC7, 0x06, 0x56, 0x8E);
inline constexpr GUID CLSID_NullRenderer = MakeGuid(0xC1F400A4, 0x3F08, 0x11D3, 0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37);
inline constexpr GUID CLSID_SampleGrabber = MakeGuid(0xC1F400A0, 0x3F08, 0x11D3, 0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37);
inline constexpr GUID CLSID_Colour = MakeGuid(0x1643E180, 0x90F5, 0x11CE, 0x97, 0xD5, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);
inline constexpr GUID CLSID_ColorSpaceConverter = CLSID_Colour;
inline constexpr GUID CLSID_VideoRenderer = MakeGuid(0x70E102B0, 0x5556, 0x11CE, 0x97, 0xC0, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);
inline constexpr GUID CLSID_VideoMixingRenderer = MakeGuid(0xB87BEB7B, 0x8D29, 0x423F, 0xAE, 0x4D, 0x65, 0x82, 0xC1, 0x01, 0x75, 0xAC);
inline constexpr GUID CLSID_VideoMixingRenderer9 = MakeGuid(0x51B4ABF3, 0x748F, 0x4E3B, 0xA2, 0x76, 0xC8, 0x28, 0x33, 0x0E, 0x92, 0x6A);
inline constexpr GUID CLSID_AudioRender = MakeGuid(0xE30629D1, 0x27E5, 0x11CE, 0x87, 0x5D, 0x00, 0x60, 0x8C, 0xB7, 0x80, 0x66);
inline constexpr GUID CLSID_DSoundRender = MakeGuid(0x79376820, 0x07D0, 0x11CF, 0xA2, 0x4D, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x67);
inline constexpr GUID CLSID_DVVideoCodec = MakeGuid(0xB1B77C00, 0xC3E4, 0x11CF, 0xAF, 0x79, 0x00, 0xAA, 0x00, 0xB6, 0x7A, 0x42);
inline constexpr GUID CLSID_DVVideoEnc = MakeGuid(0x13AA3650, 0xBB6F, 0x11D0, 0xAF, 0xB9, 0x00, 0xAA, 0x00, 0xB6, 0x7A, 0x42);
inline constexpr GUID CLSID_DVSplitter = MakeGuid(0x4EB31670, 0x9FC6, 0x11CF, 0xAF, 0x6E, 0x00, 0xAA, 0x00, 0xB6, 0x7A, 0x42);
inline constexpr GUID CLSID_DVMux = MakeGuid(0x129D7E40, 0xC10D, 0x11D0, 0xAF, 0xB9, 0x00, 0xAA, 0x00, 0xB6, 0x7A, 0x42);
inline constexpr GUID CLSID_OverlayMixer = MakeGuid(0xCD8743A1, 0x3736, 0x11D0, 0x9E, 0x69, 0x00, 0xC0, 0x4F, 0xD7, 0xC1, 0x5B);
inline constexpr GUID CLSID_AviDest = MakeGuid(0xE2510970, 0xF137, 0x11CE, 0x8B, 0x67, 0x00, 0xAA, 0x00, 0xA3, 0xF1, 0xA6);
inline constexpr GUID CLSID_AviSplitter = MakeGuid(0x1B544C20, 0xFD0B, 0x11CE, 0x8C, 0x63, 0x00, 0xAA, 0x00, 0x44, 0xB5, 0x1E);
inline constexpr GUID CLSID_VfwCapture = MakeGuid(0x1B544C22, 0xFD0B, 0x11CE, 0x8C, 0x63, 0x00, 0xAA, 0x00, 0x44, 0xB5, 0x1E);
inline constexpr GUID CLSID_FileWriter = MakeGuid(0x8596E5F0, 0x0DA5, 0x11D0, 0xBD, 0x21, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
inline constexpr GUID CLSID_WMAsfWriter = MakeGuid(0x7C23220E, 0x55BB, 0x11D3, 0x8B, 0x16, 0x00, 0xC0, 0x4F, 0xB6, 0xBD, 0x3D);
inline constexpr GUID CLSID_MPEG2Demultiplexer = MakeGuid(0xAFB6C280, 0x2C41, 0x11D3, 0x8A, 0x60, 0x00, 0x00, 0xF8, 0x1E, 0x0E, 0x4A);

// Device and filter categories.
inline constexpr GUID CLSID_VideoInputDeviceCategory = MakeGuid(0x860BB310, 0x5D01, 0x11D0, 0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
inline constexpr GUID CLSID_AudioInputDeviceCategory = MakeGuid(0x33D9A762, 0x90C8, 0x11D0, 0xBD, 0x43, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
inline constexpr GUID CLSID_VideoCompressorCategory = MakeGuid(0x33D9A760, 0x90C8, 0x11D0, 0xBD, 0x43, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
inline constexpr GUID CLSID_AudioCompressorCategory = MakeGuid(0x33D9A761, 0x90C8, 0x11D0, 0xBD, 0x43, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
inline constexpr GUID CLSID_LegacyAmFilterCategory = MakeGuid(0x083863F1, 0x70DE, 0x11D0, 0xBD, 0x40, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
inline constexpr GUID CLSID_AudioRendererCategory = MakeGuid(0xE0F158E1, 0xCB04, 0x11D0, 0xBD, 0x4E, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
inline constexpr GUID KSCATEGORY_ENCODER = MakeGuid(0x19689BF6, 0xC384, 0x48FD, 0xAD, 0x51, 0x90, 0xE5, 0x8C, 0x79, 0xF7, 0x0B);
inline constexpr GUID AM_KSCATEGORY_TVTUNER = MakeGuid(0xA799A800, 0xA46D, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0x24, 0x01, 0xDC, 0xD4);
inline constexpr GUID AM_KSCATEGORY_CROSSBAR = MakeGuid(0xA799A801, 0xA46D, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0x24, 0x01, 0xDC, 0xD4);
inline constexpr GUID AM_KSCATEGORY_TVAUDIO = MakeGuid(0xA799A802, 0xA46D, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0x24, 0x01, 0xDC, 0xD4);

}  // namespace mg
