#include "calibration/win32/CalibrationReportView.h"

#include "calibration/CalibrationView.h"
#include "platform/win32/Dialog.h"
#include "platform/win32/SystemLibraries.h"

#include <objidl.h>

#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace
{
// The report is laid out for the 1024 x 768 screen the backgrounds are drawn for, and scaled
// to the monitor keeping its shape.
constexpr double DESIGN_WIDTH = CALIB_BACKGROUND_WIDTH;
constexpr double DESIGN_HEIGHT = CALIB_BACKGROUND_HEIGHT;
constexpr RECT BOARD_BOX{72, 110, 504, 434};
// The camera's 640 x 480 image at 0.625.
constexpr RECT CAMERA_BOX{552, 110, 952, 410};
// The longest error arrow on the board picture, design pixels; the magnification is the
// largest of the usual steps that keeps the worst error within it.
constexpr double LONGEST_ARROW = 48.0;
constexpr int MAGNIFICATIONS[] = {1, 2, 5, 10, 20, 50, 100};

// None of these is the target pictures' cyan or magenta.
const COLORREF INK = RGB(32, 41, 51);
const COLORREF MUTED = RGB(92, 104, 120);
const COLORREF PANEL = RGB(255, 255, 255);
const COLORREF PANEL_EDGE = RGB(150, 162, 178);
const COLORREF TARGET_DOT = RGB(40, 84, 150);
const COLORREF WORST_DOT = RGB(196, 40, 36);
const COLORREF ARROW = RGB(226, 118, 24);
const COLORREF CAMERA_DARK = RGB(40, 46, 56);
const COLORREF SCREEN_SEEN = RGB(222, 230, 240);
const COLORREF GOOD = RGB(24, 118, 60);
const COLORREF WARNING = RGB(176, 44, 30);

enum : int
{
    TEXT_TITLE = 0,
    TEXT_UTILIZATION,
    TEXT_WORST,
    TEXT_PRECISION,
    TEXT_ARROWS,
    TEXT_TOO_SMALL,
    TEXT_AT_EDGE,
    TEXT_ONE_OFF,
    TEXT_ALL_GOOD,
    TEXT_HINT,
};

class CReportPainter
{
public:
    CReportPainter(HDC dc, int width, int height, bool rightToLeft)
        : m_hDc(dc), m_bRightToLeft(rightToLeft)
    {
        m_dScale = std::min(width / DESIGN_WIDTH, height / DESIGN_HEIGHT);
        m_dLeft = (width - DESIGN_WIDTH * m_dScale) / 2.0;
        m_dTop = (height - DESIGN_HEIGHT * m_dScale) / 2.0;
        SetBkMode(m_hDc, TRANSPARENT);
    }

    int X(double x) const { return int(std::lround(m_dLeft + x * m_dScale)); }
    int Y(double y) const { return int(std::lround(m_dTop + y * m_dScale)); }
    int Size(double size) const { return std::max(1, int(std::lround(size * m_dScale))); }
    RECT Box(const RECT& design) const
    {
        return RECT{X(design.left), Y(design.top), X(design.right), Y(design.bottom)};
    }

    // A language's text in a design rectangle, centred, wrapped when `wrap`; a line too wide
    // for its rectangle is set smaller.
    void Text(const std::wstring& text, const RECT& design, int height, bool bold, COLORREF colour,
              bool wrap = false) const
    {
        Draw(text, design, height, bold, colour, wrap, m_bRightToLeft);
    }

    // A figure with its unit: digits and units read left to right in every language.
    void Figure(const std::wstring& text, const RECT& design, int height, COLORREF colour) const
    {
        Draw(text, design, height, true, colour, false, false);
    }

    void Panel(const RECT& design, COLORREF fill, COLORREF edge) const
    {
        HBRUSH brush = CreateSolidBrush(fill);
        HPEN pen = CreatePen(PS_SOLID, 1, edge);
        HGDIOBJ oldBrush = SelectObject(m_hDc, brush);
        HGDIOBJ oldPen = SelectObject(m_hDc, pen);
        const RECT box = Box(design);
        Rectangle(m_hDc, box.left, box.top, box.right, box.bottom);
        SelectObject(m_hDc, oldBrush);
        SelectObject(m_hDc, oldPen);
        DeleteObject(brush);
        DeleteObject(pen);
    }

    // A filled disc at device pixels.
    void Dot(int x, int y, int radius, COLORREF colour) const
    {
        HBRUSH brush = CreateSolidBrush(colour);
        HPEN pen = CreatePen(PS_SOLID, 1, colour);
        HGDIOBJ oldBrush = SelectObject(m_hDc, brush);
        HGDIOBJ oldPen = SelectObject(m_hDc, pen);
        Ellipse(m_hDc, x - radius, y - radius, x + radius + 1, y + radius + 1);
        SelectObject(m_hDc, oldBrush);
        SelectObject(m_hDc, oldPen);
        DeleteObject(brush);
        DeleteObject(pen);
    }

    // A line with an arrow head at its end, device pixels.
    void Arrow(double x0, double y0, double x1, double y1, COLORREF colour) const
    {
        const double length = std::hypot(x1 - x0, y1 - y0);
        if (length < 1.0)
            return;
        HPEN pen = CreatePen(PS_SOLID, Size(2.5), colour);
        HGDIOBJ oldPen = SelectObject(m_hDc, pen);
        MoveToEx(m_hDc, int(std::lround(x0)), int(std::lround(y0)), nullptr);
        LineTo(m_hDc, int(std::lround(x1)), int(std::lround(y1)));
        const double head = std::min(length * 0.5, double(Size(9)));
        const double ux = (x1 - x0) / length;
        const double uy = (y1 - y0) / length;
        for (const double side : {0.5, -0.5})
        {
            MoveToEx(m_hDc, int(std::lround(x1)), int(std::lround(y1)), nullptr);
            LineTo(m_hDc, int(std::lround(x1 - head * (ux + side * uy))),
                   int(std::lround(y1 - head * (uy - side * ux))));
        }
        SelectObject(m_hDc, oldPen);
        DeleteObject(pen);
    }

    void Polygon(const POINT* points, int count, COLORREF fill, COLORREF edge) const
    {
        HBRUSH brush = CreateSolidBrush(fill);
        HPEN pen = CreatePen(PS_SOLID, Size(2), edge);
        HGDIOBJ oldBrush = SelectObject(m_hDc, brush);
        HGDIOBJ oldPen = SelectObject(m_hDc, pen);
        ::Polygon(m_hDc, points, count);
        SelectObject(m_hDc, oldBrush);
        SelectObject(m_hDc, oldPen);
        DeleteObject(brush);
        DeleteObject(pen);
    }

    double Scale() const { return m_dScale; }

private:
    static HFONT MakeFont(int pixels, bool bold)
    {
        return CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_SWISS, L"Tahoma");
    }

    void Draw(const std::wstring& text, const RECT& design, int height, bool bold, COLORREF colour,
              bool wrap, bool rightToLeft) const
    {
        RECT box = Box(design);
        UINT format = DT_CENTER | DT_NOPREFIX | (wrap ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
        if (rightToLeft)
            format |= DT_RTLREADING;
        int pixels = Size(height);
        HFONT font = MakeFont(pixels, bold);
        HGDIOBJ previous = SelectObject(m_hDc, font);
        RECT measured = box;
        DrawTextW(m_hDc, text.c_str(), int(text.size()), &measured, format | DT_CALCRECT);
        // Down to two thirds of its size until the line fits its rectangle.
        while (!wrap && measured.right - measured.left > box.right - box.left &&
               pixels > Size(height) * 2 / 3)
        {
            SelectObject(m_hDc, previous);
            DeleteObject(font);
            font = MakeFont(--pixels, bold);
            previous = SelectObject(m_hDc, font);
            measured = box;
            DrawTextW(m_hDc, text.c_str(), int(text.size()), &measured, format | DT_CALCRECT);
        }
        // A wrapped text is centred vertically as well.
        const int spare = (box.bottom - box.top) - (measured.bottom - measured.top);
        if (wrap && spare > 0)
            box.top += spare / 2;
        SetTextColor(m_hDc, colour);
        DrawTextW(m_hDc, text.c_str(), int(text.size()), &box, format);
        SelectObject(m_hDc, previous);
        DeleteObject(font);
    }

    HDC m_hDc;
    bool m_bRightToLeft;
    double m_dScale = 1.0;
    double m_dLeft = 0.0;
    double m_dTop = 0.0;
};

std::wstring Format(const wchar_t* format, double value)
{
    wchar_t text[64];
    std::swprintf(text, 64, format, value);
    return text;
}

int Magnification(double worstPx, double boardScale)
{
    int chosen = MAGNIFICATIONS[0];
    for (const int m : MAGNIFICATIONS)
        if (worstPx * boardScale * m <= LONGEST_ARROW)
            chosen = m;
    return chosen;
}

void DrawBoard(const CReportPainter& painter, const CALIB_REPORT& report, const std::wstring* texts)
{
    painter.Panel(BOARD_BOX, PANEL, PANEL_EDGE);
    const CALIB_CAPTURE& capture = report.capture;
    const double monitorWidth = std::max(1, std::abs(capture.monitor.right - capture.monitor.left));
    const double monitorHeight =
        std::max(1, std::abs(capture.monitor.bottom - capture.monitor.top));
    const double boardScale = std::min((BOARD_BOX.right - BOARD_BOX.left) / monitorWidth,
                                       (BOARD_BOX.bottom - BOARD_BOX.top) / monitorHeight);
    const int magnification = Magnification(report.worstTargetPx, boardScale);
    for (std::size_t i = 0; i < capture.targets.size() && i < report.errors.size(); ++i)
    {
        const double tx =
            BOARD_BOX.left + (capture.targets[i].x - capture.monitor.left) * boardScale;
        const double ty = BOARD_BOX.top + (capture.targets[i].y - capture.monitor.top) * boardScale;
        const double ex =
            (report.predicted[i].x - capture.targets[i].x) * boardScale * magnification;
        const double ey =
            (report.predicted[i].y - capture.targets[i].y) * boardScale * magnification;
        const double scale = painter.Scale();
        painter.Arrow(painter.X(tx), painter.Y(ty), painter.X(tx) + ex * scale,
                      painter.Y(ty) + ey * scale, ARROW);
        const bool worst = int(i) == report.worstTarget;
        painter.Dot(painter.X(tx), painter.Y(ty), painter.Size(worst ? 7 : 5),
                    worst ? WORST_DOT : TARGET_DOT);
    }
    painter.Text(texts[TEXT_ARROWS] + L" \u00D7" + std::to_wstring(magnification),
                 RECT{BOARD_BOX.left, BOARD_BOX.bottom + 6, BOARD_BOX.right, BOARD_BOX.bottom + 32},
                 16, false, MUTED);
}

void DrawCamera(const CReportPainter& painter, const CALIB_REPORT& report)
{
    painter.Panel(CAMERA_BOX, CAMERA_DARK, CAMERA_DARK);
    const double sx = double(CAMERA_BOX.right - CAMERA_BOX.left) / CAMERA_IMAGE_WIDTH;
    const double sy = double(CAMERA_BOX.bottom - CAMERA_BOX.top) / CAMERA_IMAGE_HEIGHT;
    const auto at = [&](const CALIB_POINT_F& p)
    {
        // Corners beyond the image are drawn at its border.
        const double x = std::clamp(double(p.x), 0.0, double(CAMERA_IMAGE_WIDTH));
        const double y = std::clamp(double(p.y), 0.0, double(CAMERA_IMAGE_HEIGHT));
        return POINT{painter.X(CAMERA_BOX.left + x * sx), painter.Y(CAMERA_BOX.top + y * sy)};
    };
    if (report.cornersFound)
    {
        POINT quad[4];
        for (int c = 0; c < 4; ++c)
            quad[c] = at(report.screenCorners[c]);
        painter.Polygon(quad, 4, SCREEN_SEEN, PANEL);
    }
    for (const CALIB_POINT_F& point : report.capture.points)
    {
        const POINT p = at(point);
        painter.Dot(p.x, p.y, painter.Size(3), TARGET_DOT);
    }
}

void DrawFigures(const CReportPainter& painter, const CALIB_REPORT& report,
                 const std::wstring* texts)
{
    struct FIGURE
    {
        std::wstring value;
        int label;
        bool warn;
    };
    const FIGURE figures[3] = {
        {Format(L"%.0f %%", report.utilization), TEXT_UTILIZATION,
         (report.advice & REPORT_ADVICE_TOO_SMALL) != 0},
        {Format(L"%.1f px", report.worstTargetPx), TEXT_WORST,
         (report.advice & REPORT_ADVICE_ONE_OFF) != 0},
        {Format(L"%.1f", report.pxPerCameraPx), TEXT_PRECISION, false},
    };
    const int centres[3] = {200, 512, 824};
    for (int i = 0; i < 3; ++i)
    {
        const int c = centres[i];
        painter.Figure(figures[i].value, RECT{c - 150, 478, c + 150, 540}, 50,
                       figures[i].warn ? WARNING : INK);
        painter.Text(texts[figures[i].label], RECT{c - 156, 540, c + 156, 566}, 17, false, MUTED);
    }
}

void DrawAdvice(const CReportPainter& painter, const CALIB_REPORT& report,
                const std::wstring* texts)
{
    std::wstring advice;
    const std::pair<std::uint32_t, int> items[] = {{REPORT_ADVICE_TOO_SMALL, TEXT_TOO_SMALL},
                                                   {REPORT_ADVICE_AT_EDGE, TEXT_AT_EDGE},
                                                   {REPORT_ADVICE_ONE_OFF, TEXT_ONE_OFF}};
    for (const auto& [bit, text] : items)
        if ((report.advice & bit) != 0)
            advice += (advice.empty() ? L"" : L"\r\n") + texts[text];
    const bool good = advice.empty();
    painter.Text(good ? texts[TEXT_ALL_GOOD] : advice, RECT{96, 584, 928, 690}, good ? 24 : 19,
                 good, good ? GOOD : WARNING, true);
}
} // namespace

HBITMAP DrawCalibrationReport(const CALIB_REPORT& report, const std::wstring* texts,
                              UINT backgroundId, int width, int height, bool rightToLeft)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    if (bitmap == nullptr)
    {
        DeleteDC(dc);
        return nullptr;
    }
    HGDIOBJ previous = SelectObject(dc, bitmap);

    if (HBITMAP background = static_cast<HBITMAP>(
            LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(backgroundId), IMAGE_BITMAP, 0, 0, 0)))
    {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, background);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, 0, 0, width, height, source, 0, 0, CALIB_BACKGROUND_WIDTH,
                   CALIB_BACKGROUND_HEIGHT, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        DeleteObject(background);
    }
    else
    {
        PatBlt(dc, 0, 0, width, height, WHITENESS);
    }

    const CReportPainter painter(dc, width, height, rightToLeft);
    painter.Text(texts[TEXT_TITLE], RECT{0, 40, 1024, 92}, 34, true, INK);
    if (report.valid)
    {
        DrawBoard(painter, report, texts);
        DrawCamera(painter, report);
        DrawFigures(painter, report, texts);
        DrawAdvice(painter, report, texts);
    }
    painter.Text(texts[TEXT_HINT], RECT{96, 694, 928, 722}, 16, false, MUTED);

    SelectObject(dc, previous);
    DeleteDC(dc);
    return bitmap;
}

namespace
{
// GDI+ is not among the libraries Windows always takes from its own folder: it is bound from
// the system folder by full path, so that the elevated driver never loads a planted copy.
template <typename FUNCTION> bool Bind(HMODULE library, const char* name, FUNCTION& function)
{
    function = reinterpret_cast<FUNCTION>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

bool WriteText(const std::string& text, const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) != 0 &&
                    written == text.size();
    CloseHandle(file);
    return ok;
}
} // namespace

bool WritePng(HBITMAP bitmap, const std::wstring& path)
{
    const std::wstring libraryPath = SystemLibraryPath(L"gdiplus.dll");
    HMODULE library = libraryPath.empty() ? nullptr : LoadLibraryW(libraryPath.c_str());
    if (library == nullptr)
        return false;
    decltype(&Gdiplus::GdiplusStartup) pfnStartup = nullptr;
    decltype(&Gdiplus::GdiplusShutdown) pfnShutdown = nullptr;
    decltype(&Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP) pfnCreateBitmap = nullptr;
    decltype(&Gdiplus::DllExports::GdipSaveImageToFile) pfnSave = nullptr;
    decltype(&Gdiplus::DllExports::GdipDisposeImage) pfnDispose = nullptr;
    bool written = false;
    if (Bind(library, "GdiplusStartup", pfnStartup) &&
        Bind(library, "GdiplusShutdown", pfnShutdown) &&
        Bind(library, "GdipCreateBitmapFromHBITMAP", pfnCreateBitmap) &&
        Bind(library, "GdipSaveImageToFile", pfnSave) &&
        Bind(library, "GdipDisposeImage", pfnDispose))
    {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        if (pfnStartup(&token, &input, nullptr) == Gdiplus::Ok)
        {
            // The PNG encoder every GDI+ ships.
            static const CLSID PNG_ENCODER = {
                0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
            Gdiplus::GpBitmap* image = nullptr;
            if (pfnCreateBitmap(bitmap, nullptr, &image) == Gdiplus::Ok && image != nullptr)
            {
                written = pfnSave(image, path.c_str(), &PNG_ENCODER, nullptr) == Gdiplus::Ok;
                (void)pfnDispose(image);
            }
            pfnShutdown(token);
        }
    }
    FreeLibrary(library);
    return written;
}

bool KeepCalibrationReport(const CALIB_REPORT& report, HBITMAP screen, const std::wstring& folder)
{
    const std::wstring name =
        folder + L"CalibrationReport" + std::to_wstring(report.capture.camera);
    const bool text = WriteText(FormatCalibrationReport(report), name + L".txt");
    const bool picture = screen != nullptr && WritePng(screen, name + L".png");
    return text && picture;
}
