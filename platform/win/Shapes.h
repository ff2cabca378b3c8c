#pragma once
// Lines, shapes and fills drawn with the DC's pen and brush. Shapes follow
// the platform's edge rules: a line does not draw its end point, and a
// filled shape covers its rectangle's left and top edges but not its right
// and bottom edges.
#include "platform/win/Types.h"

namespace win {

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetCurrentPositionEx(HDC hdc, POINT* position);
BOOL LineTo(HDC hdc, int x, int y);
BOOL Polyline(HDC hdc, const POINT* points, int count);
BOOL PolylineTo(HDC hdc, const POINT* points, DWORD count);
// 1 + 3n points: a start, then two control points and an end per curve.
BOOL PolyBezier(HDC hdc, const POINT* points, DWORD count);
BOOL PolyBezierTo(HDC hdc, const POINT* points, DWORD count);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL Polygon(HDC hdc, const POINT* points, int count);
BOOL PolyPolygon(HDC hdc, const POINT* points, const INT* counts, int polygons);
// Arcs run from the radial through (xStart, yStart) to the one through
// (xEnd, yEnd) in the DC's arc direction; equal radials draw the whole
// ellipse.
BOOL Arc(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL Pie(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL Chord(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);

// The brush may also be a system colour index + 1, as window classes give.
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT* rect);

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
BOOL SetPixelV(HDC hdc, int x, int y, COLORREF color);
// CLR_INVALID outside the DC's surface or clip.
COLORREF GetPixel(HDC hdc, int x, int y);

// Regions drawn with a brush (FillRgn, FrameRgn), the DC's brush
// (PaintRgn) or inverted; the region is in logical coordinates.
BOOL FillRgn(HDC hdc, HRGN region, HBRUSH brush);
BOOL FrameRgn(HDC hdc, HRGN region, HBRUSH brush, int width, int height);
BOOL PaintRgn(HDC hdc, HRGN region);
BOOL InvertRgn(HDC hdc, HRGN region);

}  // namespace win
