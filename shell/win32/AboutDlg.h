#pragma once
// The About box: the program's name and the version of its own file, the firmware of each
// camera, the maker's notice and a link to the maker's web site.

#include "platform/win32/Dialog.h"

#include <string>

class CAboutDlg : public CDialog
{
public:
    explicit CAboutDlg(HWND hParent);
    ~CAboutDlg() override;

    // The four parts of a file's version resource (major, minor, build, revision); false, with
    // the parts untouched, when the file has none.
    static BOOL GetFileVersion(const std::wstring& path, WORD parts[4]);

    std::wstring m_strFirmware;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    bool OnCommand(int id, int code, HWND hControl) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    HICON m_hIcon = nullptr;
    HFONT m_hFont = nullptr;
};
