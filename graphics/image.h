// The raster image every drawing, conversion, clipboard and writer operation
// works on. Its memory is laid out as a device-independent bitmap: a 40-byte
// header and a 256-entry palette (the info block), and bottom-up pixel rows
// padded to 4 bytes, so it goes to the clipboard or into a BMP file as it is.
// Pixels are read and written only through the per-format functions that
// Create installs (graphics/pixel.h), so no loop switches on the format.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/bitmap.h"
#include "platform/handles.h"

class CGraphicsImage;
struct ColourHistogram;
struct ColourBoxTable;

// Called with percent 0..100 by long operations; setting *abort to nonzero
// makes the operation give up.
using ProgressFunc = void (*)(CGraphicsImage* image, DWORD user, DWORD a, DWORD b,
                              DWORD percent, BYTE* abort);
// A pen: puts one dot of `colour` (a palette index on palette images) at
// (x, y), clipping for itself.
using PixelWriterFunc = void (*)(CGraphicsImage* image, int x, int y, DWORD colour);
// A shader: paints pixel (x, y) of the row that starts at `row`; called only
// with 0 <= x < width and 0 <= y < height.
using TriangleShaderFunc = void (*)(CGraphicsImage* image, BYTE* row, int x, int y, DWORD arg);
// Reads the value at (x, y) for FloodFillCustom.
using FloodGetterFunc = DWORD (*)(CGraphicsImage* image, BYTE* row, int x, int y);

// The per-format functions. Row functions convert a whole row of `width`
// pixels into the image's scratch row (or return the row itself) and the
// result lives until the next row function call on the same image.
using RowTo8Fn = BYTE* (*)(const BYTE* row, const CGraphicsImage* image);
using RowTo24Fn = BYTE* (*)(const BYTE* row, const CGraphicsImage* image);
using RowTo32Fn = DWORD* (*)(const BYTE* row, const CGraphicsImage* image);
using PixelGetFn = DWORD (*)(const BYTE* row, int x);
using PixelSetFn = void (*)(BYTE* row, int x, DWORD value);
using ColorToPixelFn = DWORD (*)(DWORD colour);

// Create's fill value that leaves the pixels as they are.
inline constexpr DWORD IMAGE_NO_FILL = 0xBCDE7AF9;
// Create's `bits` value that asks for a DIB section.
inline void* const IMAGE_DIB_SECTION = reinterpret_cast<void*>(uintptr_t{1});
// The text spacing setting that means "the font's own spacing".
inline constexpr int32_t CHAR_SPACING_FONT = static_cast<int32_t>(0xBCDEEEEEu);
// DrawText's y that asks for the width only.
inline constexpr int TEXT_MEASURE_ONLY = static_cast<int>(0xBCDEFFFFu);
// First word of a font of layout B (bytes 00 00 46 4E).
inline constexpr DWORD FONT_LAYOUT_B_MAGIC = 0x4E460000;
// First word of a font's metrics block (bytes FF 00 AA 55).
inline constexpr DWORD FONT_METRICS_MAGIC = 0x55AA00FF;
// FloodFillCustom's oldValue that takes the getter's value at the seed.
inline constexpr DWORD FLOOD_OLD_FROM_SEED = 0xFFFFFFFF;
// Largest width and height of an image.
inline constexpr int IMAGE_MAX_SIDE = 32768;
// Scale flags.
inline constexpr int IMAGE_SCALE_SMOOTH = 1;
inline constexpr int IMAGE_SCALE_TO_32 = 2;

// Last-error values of Create.
enum : BYTE {
  IMAGE_ERROR_NONE = 0,
  IMAGE_ERROR_SIZE = 1,
  IMAGE_ERROR_BPP = 2,
  IMAGE_ERROR_MEMORY = 3,
};

// Header and palette, in one block handed to the window system as BITMAPINFO.
struct GraphicsInfoBlock {
  BITMAPINFOHEADER header;
  RGBQUAD palette[256];
};
static_assert(sizeof(GraphicsInfoBlock) == 1064);

class CGraphicsImage {
 public:
  CGraphicsImage();
  CGraphicsImage(const CGraphicsImage& src);
  CGraphicsImage& operator=(const CGraphicsImage& src);
  virtual ~CGraphicsImage();

  // --- Lifetime (image.cpp) ---
  void Release();
  bool Discard();
  // bits: null = own memory, IMAGE_DIB_SECTION = a DIB section, else caller
  // memory laid out as the image (which the caller keeps owning).
  bool Create(int bpp, int width, int height, DWORD fill, void* bits);
  bool Copy(const CGraphicsImage& src);
  // Exchanges the complete contents of the two objects; nothing is copied.
  bool Swap(CGraphicsImage& other);
  void SetProgressCallback(ProgressFunc fn, DWORD user);
  // Reports progress; throws the int 1 when the callback asks to abort.
  void Progress(DWORD percent, DWORD a, DWORD b);

  // --- Fills (fill_rect.cpp) ---
  bool FillRect(int x, int y, int w, int h, DWORD colour);
  // Writes columns [x0, x1) of one row with `colour` in whole bytes, words or
  // double words where the format allows; the caller has clipped the span.
  void FillRowSpan(BYTE* row, int x0, int x1, DWORD colour);

  // --- Translucent, shaded and checkered rectangles (fill_area.cpp) ---
  bool FillRectAlpha(int x, int y, int w, int h, DWORD colour, int alpha);
  bool FillRectShader(int x, int y, int w, int h, DWORD arg, TriangleShaderFunc shader);
  bool BlendOntoColor(int x, int y, int w, int h, DWORD colour);
  bool BlendOntoChecker(int x, int y, int w, int h, DWORD colour1, DWORD colour2, int bit);
  bool FillChecker(int x, int y, int w, int h, DWORD colour1, DWORD colour2, int bit);

  // --- Triangles (triangle.cpp) ---
  bool FillTriangle(const int pts[6], DWORD arg, TriangleShaderFunc shader);
  bool FillTriangleColor(const int pts[6], DWORD colour);

  // --- Flood fills (flood.cpp) ---
  bool FloodFill(int x, int y, DWORD colour);
  // oldValue FLOOD_OLD_FROM_SEED takes the getter's value at the seed.
  bool FloodFillCustom(int x, int y, DWORD value, TriangleShaderFunc setter,
                       FloodGetterFunc getter, DWORD oldValue);

  // --- Lines (line.cpp) ---
  bool DrawLine(int x1, int y1, int x2, int y2, DWORD colour, PixelWriterFunc pen, bool drawLast);
  bool DrawPlainLine(int x1, int y1, int x2, int y2, DWORD colour);

  // --- Arcs and ellipses (arc.cpp, ellipse.cpp) ---
  // Angles in 1/0x20000 turn; a full ellipse runs from a to a + 0x20000.
  bool DrawArc(int cx, int cy, int rx, int ry, DWORD colour, int start, int end, int rotation);
  bool DrawArcPen(int cx, int cy, int rx, int ry, DWORD colour, PixelWriterFunc pen, int start,
                  int end, int rotation, bool drawLast);
  // Antialiased; the plain arc on images of 8 bits per pixel or fewer.
  bool DrawArcSmooth(int cx, int cy, int rx, int ry, DWORD colour, int start, int end,
                     int rotation);
  // flags: ELLIPSE_* (graphics/arc.h).
  bool FillEllipse(int x, int y, int rx, int ry, DWORD colour, DWORD flags);
  bool FillEllipseShader(int x, int y, int rx, int ry, DWORD arg, TriangleShaderFunc shader,
                         DWORD flags);
  // Edge pixels blended by coverage; FillEllipse on 8 bits per pixel or fewer.
  bool FillEllipseSmooth(int x, int y, int rx, int ry, DWORD colour, DWORD flags);
  bool DrawShaderLine(int x1, int y1, int x2, int y2, DWORD arg, TriangleShaderFunc shader,
                      bool drawLast);
  bool DrawSmoothLine(int x1, int y1, int x2, int y2, DWORD colour, bool drawLast);
  bool DrawRectOutline(int x, int y, int w, int h, DWORD colour);
  bool DrawRectPen(int x, int y, int w, int h, DWORD colour, PixelWriterFunc pen);

  // --- Text (text.cpp) ---
  void SelectFont(const BYTE* fontData);
  void SetCharSpacing(int setting);
  // which 0: the ink pen and colour, else the background pen and colour.
  void SetTextWriter(PixelWriterFunc pen, DWORD colour, int which);
  // Draws one line of Latin-1 text; returns its width. y = TEXT_MEASURE_ONLY
  // only measures.
  int DrawText(int x, int y, const char* text);
  void DrawGlyph(int x, int y, const BYTE* glyph);
  void FillTextGap(int x, int y, int w, int h, PixelWriterFunc pen);

  // --- Palette (palette.cpp) ---
  void SetPaletteEntry(int index, DWORD colour);
  void SetPaletteEntryRGB(int index, BYTE red, BYTE green, BYTE blue);
  void SetPaletteEntryRGBA(int index, BYTE red, BYTE green, BYTE blue, BYTE alpha);
  DWORD GetPaletteEntry(int index, BYTE* red, BYTE* green, BYTE* blue) const;
  DWORD GetPaletteEntryRGBA(int index, BYTE* red, BYTE* green, BYTE* blue, BYTE* alpha) const;
  bool CompactPalette();

  // --- Clipboard (clipboard.cpp) ---
  bool CopyToClipboard(HWND owner);
  // flags bit 0: keep the fourth byte of 32-bit pixels.
  bool PasteFromClipboard(HWND owner, BYTE flags);
  // Makes this image from a packed DIB (header, colour table, masks, pixels)
  // of `size` bytes. Everything is checked before the image is touched: on
  // false it is as it was.
  bool ReadPackedDib(const BYTE* block, uint64_t size, BYTE flags);

  // --- GDI exchange (gdi_exchange.cpp) and smoothing copy (smooth.cpp) ---
  // A bitmap of the window's device format (null: the screen's) holding the
  // image; 0 on failure. The caller deletes it with DeleteObject.
  HBITMAP CreateDeviceBitmap(HWND wnd);
  // This image becomes a copy of `bmp` in the bitmap's own format (a 5-6-5
  // bitmap 16 bpp, other 16-bit bitmaps 15 bpp); the bitmap stays the
  // caller's. On false the image is empty.
  bool FromDeviceBitmap(HWND wnd, HBITMAP bmp);
  // This image becomes the uncompressed DIB of `header` (a negative height
  // means top-down rows) with `bits` holding at least biSizeImage bytes, and
  // at 8 bits or fewer the palette `colours` (1 << bit count entries, kept as
  // they are) when given. On false the image is empty.
  bool FromDib(const BITMAPINFOHEADER* header, const BYTE* bits, const DWORD* colours);
  // FromDib of a packed DIB: header, colour table (biClrUsed entries, or
  // 1 << bit count when that is 0), then the bits.
  bool FromPackedDib(const BITMAPINFO* packed);
  // Loads the bitmap resource `name` (a text, "#<id>" or MAKEINTRESOURCEA)
  // of `module` (null: the program's own) through FromDeviceBitmap.
  bool LoadBitmapResource(const char* name, HINSTANCE module);
  // This image becomes src smoothed by a 3 x 3 kernel (corners 1, edges 2,
  // centre n - 12, divided by n = strength + 1, at least 12) with `bpp` bits
  // per pixel; palette results hold the nearest entry of the default palette.
  bool CreateSmoothed(const CGraphicsImage& src, BYTE strength, int bpp);

  // --- Scaling (scale.cpp) ---
  // flags: IMAGE_SCALE_SMOOTH (area averaging), IMAGE_SCALE_TO_32 (32-bpp result).
  bool Scale(const CGraphicsImage& src, int width, int height, int flags);
  // 0: no alpha in use (all 0), 1: all opaque (all 255), 2: varying alpha.
  int GetAlphaUsage() const;

  // --- Blitting (blit.cpp) ---
  // flags: a key colour in the low 24 bits and the DRAW_* mode bits (blit.h).
  bool DrawImage(const CGraphicsImage& src, int x, int y, DWORD flags);
  bool DrawImageAlpha(const CGraphicsImage& src, int x, int y);
  bool DrawImageMasked(const CGraphicsImage& src, int x, int y, const CGraphicsImage& mask);
  bool CompositeFrom(const CGraphicsImage& src, int x, int y);
  bool CropFrom(const CGraphicsImage& src, int x, int y, int w, int h);
  bool RotateQuarterFrom(const CGraphicsImage& src, int quarterTurns, bool mirrorV, bool mirrorH);
  void Scroll(int dx, int dy, DWORD fill);

  // --- Whole-image conversions (convert.cpp) ---
  bool ConvertFrom(const CGraphicsImage& src, int bpp);
  // countAndBits: colour count in the low 24 bits, result bits per pixel on top.
  bool MapToPalette(const CGraphicsImage& src, DWORD countAndBits, const DWORD* palette);
  bool ToGrey();
  bool GreyFrom(const CGraphicsImage& src);
  bool GreyImageFrom(const CGraphicsImage& src);
  bool ThresholdFrom(const CGraphicsImage& src);
  // colour is 0x00BBGGRR; mode & 3 picks how the mask sets the alpha byte.
  bool AlphaMaskFrom(const CGraphicsImage& mask, int mode, DWORD colour);
  bool FlattenAlpha(DWORD colour);

  // --- Polygons, moved rectangles, rotation, resolution and alpha
  //     (polygon.cpp, move_rect.cpp, rotate.cpp, image_helpers.cpp) ---
  // points: count (x, y) pairs, vertices on pixel corners; a pixel is filled
  // when its centre lies inside by the even-odd rule (left and top edges in,
  // right and bottom edges out). One point sets that pixel, two points or
  // points on one row or column draw a line; at most POLYGON_MAX_POINTS.
  bool FillPolygon(const int* points, int count, DWORD colour);
  bool FillPolygonShader(const int* points, int count, DWORD arg, TriangleShaderFunc shader);
  // Moves the rectangle (x, y, w, h) so that (x, y) lands on (dstX, dstY);
  // overlapping source and destination are fine.
  bool MoveRect(int x, int y, int w, int h, int dstX, int dstY);
  // Makes this image src turned by angle (1/0x20000 turn, clockwise on the
  // screen) about the pivot, enlarged to hold the turned corners and filled
  // with fill where src does not reach. flags: ROTATE_* (graphics/rotate.h).
  // Null pivot pointers turn about the centre of src; otherwise they receive
  // the pivot's position in the result.
  bool RotateFrom(const CGraphicsImage& src, int angle, DWORD flags, int* pivotX, int* pivotY,
                  DWORD fill);
  // The header's pixels per metre; false (and 0, 0) for an empty image.
  bool GetResolution(DWORD* xPelsPerMeter, DWORD* yPelsPerMeter) const;
  bool SetResolution(DWORD xPelsPerMeter, DWORD yPelsPerMeter);
  // 32 bpp: any pixel's fourth byte non-zero; false for other depths.
  bool HasAlpha() const;
  // 32 bpp: every pixel's fourth byte becomes value; false for other depths.
  bool SetAlpha(BYTE value);

  // --- Colour quantiser (quantize.cpp) ---
  // Makes this image the 8-bit palette version of src: true colour is cut
  // into at most 256 median-split boxes, each shown by its mean colour.
  bool Quantize(const CGraphicsImage& src);

  // --- Helpers for the operations built on the image ---
  // Frees the colour quantiser's working tables.
  void FreeQuantizerTables();
  // DrawGlyph and FillTextGap at positions that may lie beyond int range.
  void PaintGlyph(int64_t x, int64_t y, const BYTE* glyph);
  void PaintBox(int64_t x, int64_t y, int64_t w, int64_t h, PixelWriterFunc pen);
  bool HasPixels() const { return pixelBlock != nullptr; }
  // First byte of row y, y = 0 being the top row.
  BYTE* Row(int y) const { return topRow - static_cast<int64_t>(y) * stride; }
  BITMAPINFOHEADER& Header() const { return info->header; }

  // Runs op(source) for an operation that makes this image from `src`. When
  // src is this image itself, op gets a temporary copy, so the operation may
  // release and re-create this image before it reads the source.
  template <class Op>
  bool WithSeparateSource(const CGraphicsImage& src, Op&& op) {
    if (&src != this) return std::forward<Op>(op)(src);
    CGraphicsImage copy;
    if (HasPixels() && !copy.Copy(*this)) {
      lastError = IMAGE_ERROR_MEMORY;
      return false;
    }
    copy.SetProgressCallback(progressFunc, progressUser);
    return std::forward<Op>(op)(static_cast<const CGraphicsImage&>(copy));
  }

  // --- State ---
  // Working tables of the colour quantiser; null when none.
  ColourHistogram* colourHistogram = nullptr;
  ColourBoxTable* colourBoxes = nullptr;

  // Text state: read and written by the text functions.
  const BYTE* font = nullptr;
  DWORD fontWord = 0;
  BYTE tableStart = 0;
  BYTE fontFlags = 0;
  WORD firstChar = 0;
  WORD lastChar = 0;
  BYTE hAlign = 0;
  BYTE vAlign = 0;
  int8_t yOffset = 0;
  int32_t m0 = 0, m1 = 0, m2 = 0;
  int32_t charSpacing = 0;
  int32_t spacingSetting = CHAR_SPACING_FONT;
  DWORD inkColour = 0;
  DWORD backColour = 0;
  PixelWriterFunc inkPen = nullptr;
  PixelWriterFunc backPen = nullptr;

  // 0 none, 1 width or height out of range, 2 bits per pixel not supported,
  // 3 out of memory.
  BYTE lastError = IMAGE_ERROR_NONE;

  GraphicsInfoBlock* info = nullptr;  // owned, from construction to destruction
  BYTE* scratch = nullptr;            // row work buffer of at least width * 4 + 5 bytes
  BYTE* pixelBlock = nullptr;         // pixel memory as obtained; null = empty image
  BYTE* bottomRow = nullptr;          // first row in memory (the lowest on screen)
  BYTE* topRow = nullptr;             // bottomRow + (height - 1) * stride

  int width = 0;
  int height = 0;
  uint64_t imageBytes = 0;  // stride * height
  int bpp = 0;              // 0 when empty
  int64_t stride = 0;       // bytes per row, a multiple of 4

  // Format constants (see graphics/pixel.h).
  DWORD pixelInByteMask = 0;
  DWORD bytesPerUnit = 0;
  DWORD valueMask = 0;
  DWORD formatBit = 0;
  DWORD indexShift = 0;
  DWORD trueColor = 0;
  DWORD paletteSize = 0;
  DWORD significantMask = 0;

  BYTE notOwned = 0;  // 1 for caller memory and DIB sections

  // Running patterns of the dashed and dotted pens.
  DWORD dashPattern = 0xF0F0F0F0;
  DWORD dotPattern = 0xAAAAAAAA;

  RGBQUAD* palette = nullptr;  // info->palette
  HBITMAP dibSection = nullptr;

  RowTo8Fn RowTo8Func;
  RowTo24Fn RowTo24Func;
  RowTo32Fn RowTo32Func;
  RowTo8Fn RowCopyTo8Func;
  RowTo24Fn RowCopyTo24Func;
  RowTo32Fn RowCopyTo32Func;
  PixelGetFn PixelGetFunc;
  PixelSetFn PixelSetFunc;
  ColorToPixelFn ColorToPixelFunc;

  ProgressFunc progressFunc = nullptr;
  DWORD progressUser = 0;

 private:
  void InstallFormat(int bitsPerPixel);
  void SetDefaultPalette();
  // Exchanges what Release resets (pixels, header, palette, format), keeping
  // each object's text state, patterns and progress callback.
  void SwapPixelState(CGraphicsImage& other);
  // Takes over the pixels, header, palette and format of `built` (which gets
  // this image's old ones): the last step of an operation that makes this
  // image anew, so a failure before it leaves this image as it was.
  void AdoptPixels(CGraphicsImage& built) { SwapPixelState(built); }
};
