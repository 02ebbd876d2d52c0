#include "platform/win32/Win32Platform.h"

#include <exdisp.h>
#include <objbase.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

namespace
{
// Releases a COM interface when it leaves scope.
template <typename INTERFACE> class CComRef
{
public:
    CComRef() = default;
    ~CComRef()
    {
        if (m_p != nullptr)
            m_p->Release();
    }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;

    INTERFACE* operator->() const { return m_p; }
    INTERFACE* Get() const { return m_p; }
    INTERFACE** Out() { return &m_p; }
    void** OutVoid() { return reinterpret_cast<void**>(&m_p); }

private:
    INTERFACE* m_p = nullptr;
};

// COM for the calling thread for the life of the object, when it was not already set up.
class CComScope
{
public:
    CComScope() : m_bOwned(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~CComScope()
    {
        if (m_bOwned)
            CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    bool m_bOwned;
};

class CBstr
{
public:
    explicit CBstr(const std::wstring& text)
        : m_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    ~CBstr() { SysFreeString(m_bstr); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;

    BSTR Get() const { return m_bstr; }

private:
    BSTR m_bstr;
};

VARIANT TextVariant(const CBstr& text)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = text.Get();
    return value;
}

// The shell object of the desktop window that the signed-in user's shell runs: what it
// starts runs with that shell's token, not with the driver's elevated one.
bool DesktopShell(CComRef<IShellDispatch2>& shell)
{
    CComRef<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.OutVoid())))
        return false;
    VARIANT location;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT empty;
    VariantInit(&empty);
    long hwnd = 0;
    CComRef<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &empty, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH,
                              desktop.Out()) != S_OK ||
        desktop.Get() == nullptr)
        return false;
    CComRef<IServiceProvider> provider;
    CComRef<IShellBrowser> browser;
    CComRef<IShellView> view;
    CComRef<IDispatch> background;
    CComRef<IShellFolderViewDual> folderView;
    CComRef<IDispatch> application;
    return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, provider.OutVoid())) &&
           SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                            browser.OutVoid())) &&
           SUCCEEDED(browser->QueryActiveShellView(view.Out())) &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid())) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid())) &&
           SUCCEEDED(folderView->get_Application(application.Out())) &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.OutVoid()));
}
} // namespace

bool CWin32Platform::StartProgramAsUser(const std::wstring& program, const std::wstring& parameters,
                                        int show)
{
    const CComScope com;
    CComRef<IShellDispatch2> shell;
    if (!DesktopShell(shell))
        return false;
    const CBstr file(program);
    const CBstr arguments(parameters);
    const CBstr verb(L"open");
    const CBstr folder(L"");
    VARIANT argumentsValue = TextVariant(arguments);
    VARIANT folderValue = TextVariant(folder);
    VARIANT verbValue = TextVariant(verb);
    VARIANT showValue;
    VariantInit(&showValue);
    showValue.vt = VT_I4;
    showValue.lVal = show;
    return SUCCEEDED(
        shell->ShellExecute(file.Get(), argumentsValue, folderValue, verbValue, showValue));
}
