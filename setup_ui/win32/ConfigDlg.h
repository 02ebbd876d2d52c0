#pragma once
// The configuration dialog (template 184): calibration model, mounting options, start with
// Windows and the update server, over the skin's picture. It edits m_values, which its opener
// copies in before and applies after OK; what the controls allow and what OK asks is decided by
// the rules of setup_ui/ConfigRules.h.

#include "platform/win32/Dialog.h"
#include "setup_ui/ConfigRules.h"
#include "setup_ui/win32/SkinToolkit.h"

class CDriverState;

class CConfigDlg : public CDialog
{
public:
    explicit CConfigDlg(CDriverState& state);
    ~CConfigDlg() override;

    CONFIG_VALUES m_values;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    bool OnCommand(int id, int code, HWND hControl) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnOK() override;

private:
    void UpdateEnableStates() const;
    void FillServerList() const;
    void OnUpdate();
    void OnPaint();

    CDriverState& m_state;
    HBRUSH m_brushGrey = nullptr;
    HICON m_hIcon = nullptr;
    CSkinFonts m_fonts;
};
