// What the configuration dialog and the start wizard decide, without their windows: the
// questions they ask, what each answer changes in the state record and what their openers save.

#include "core/DriverState.h"
#include "core/Messages.h"
#include "setup_ui/ConfigRules.h"
#include "setup_ui/WizardRules.h"
#include "shell/Driver.h"
#include "tests/support/DeviceWorld.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
constexpr int YES = 6;
constexpr int NO = 7;

// One camera unit that keeps no settings of its own, a state record with the English
// questions, and the settings file as the profile writes left it.
struct CSetupWorld : CDeviceWorld
{
    CSetupWorld() : CDeviceWorld("units 1\nunit 0 minor 0x0F")
    {
        m_platform.m_profileWriter = [this](const std::wstring&, const std::wstring& section,
                                            const std::wstring& key, const std::wstring& value)
        {
            m_file[section + L"/" + key] = value;
            return true;
        };
        g_pMainDlg = &m_state;
        for (int i = 0; i < MSG_TEXT_COUNT; ++i)
            m_state.m_strMsgText[i] = L"M" + std::to_wstring(i + 1);
        EXPECT_TRUE(m_state.m_controller.StartDevices());
        EXPECT_TRUE(m_state.m_controller.DetectFirmware());
        m_state.m_bCalibrated = 1;
    }
    ~CSetupWorld()
    {
        (void)m_state.m_controller.StopDevices();
        g_pMainDlg = nullptr;
    }
    std::vector<std::wstring> Boxes() const
    {
        std::vector<std::wstring> texts;
        for (const RECORDED_BOX& box : m_platform.m_boxes)
            texts.push_back(box.text);
        return texts;
    }
    std::wstring Saved(const wchar_t* key) const
    {
        const auto found = m_file.find(std::wstring(L"State/") + key);
        return found == m_file.end() ? L"(unsaved)" : found->second;
    }

    CDriver m_state;
    std::map<std::wstring, std::wstring> m_file;
};
} // namespace

// What the dialogs under Wine do not show: the icon, the start of the calibration, choices
// taken before the answer, the server list's entries and the mountings a run leaves alone.
TEST(ConfigurationRules, OkAsksOnlyWhenTheMappingChangesAndNoKeepsTheDialogOpen)
{
    CSetupWorld world;
    CDriverState& state = world.m_state;
    CONFIG_VALUES values = ConfigValuesFrom(state);
    values.startProgram = 1;
    values.rear = 1;
    world.m_platform.m_nBoxAnswer = YES;
    EXPECT_TRUE(ConfirmConfiguration(state, values));
    EXPECT_EQ(state.m_bStartProgram, 1) << "taken at once";
    ASSERT_EQ(world.Boxes(), std::vector<std::wstring>{L"M11"}) << "rear projection alone asks";
    EXPECT_EQ(world.m_platform.m_boxes[0].style, BOX_YESNO | BOX_ICONINFORMATION);
    EXPECT_EQ(world.m_platform.PostedToMain(), std::vector<std::uint32_t>{WM_CALIBRATE_NEXT});

    // Not calibrated: asked even with nothing changed; No lets the next OK close.
    world.m_platform.m_boxes.clear();
    values = ConfigValuesFrom(state);
    world.m_platform.m_nBoxAnswer = NO;
    EXPECT_FALSE(ConfirmConfiguration(state, values));
    EXPECT_TRUE(ConfirmConfiguration(state, values));
    EXPECT_EQ(world.Boxes().size(), 1u);
}

TEST(ConfigurationRules, TheListedServerTheCeilingAndStartWithWindowsAreAppliedAndSaved)
{
    CSetupWorld world;
    CDriverState& state = world.m_state;
    state.m_nSelectServer = 3;
    state.m_nRadioServer = 1;
    CONFIG_VALUES values = ConfigValuesFrom(state);
    EXPECT_EQ(ServerListSelection(values), 2) << "the third entry of the sorted list";
    ChooseDefaultServer(values);
    EXPECT_EQ(ServerListSelection(values), -1);
    ChooseListedServer(values);
    SelectListedServer(values, 1);
    values.ceiling = 1;
    values.startProgram = 1;
    ApplyConfiguration(state, values, nullptr);
    EXPECT_EQ(state.m_bCeilingMount, 1);
    EXPECT_EQ(world.Saved(L"Check Ceiling"), L"1");
    EXPECT_EQ(world.Saved(L"Start Program"), L"1");
    EXPECT_EQ(world.Saved(L"Radio Server"), L"1");
    EXPECT_EQ(world.Saved(L"Select Server"), L"2");
}

TEST(WizardRules, FirstRunCommitsTheMountingAndFinishSaves)
{
    CSetupWorld world;
    CDriverState& state = world.m_state;
    state.m_nWizardOrigin = WIZARD_ORIGIN_FIRST_RUN;
    state.m_bCalibrated = 0;
    CWizardCommits commits(state);
    WIZARD_CHOICES choices = WizardChoicesFrom(state);
    choices.ceilingState = 1;
    EXPECT_TRUE(commits.CommitNext(WIZARD_OPTIONS_PAGE, choices));
    EXPECT_EQ(state.m_bCeilingMount, 1);
    choices.model = CALIB_MODEL_NINE;
    choices.ceiling = 1;
    commits.Finish(choices, nullptr);
    EXPECT_EQ(world.Saved(L"Lens Angles"), L"1");
    EXPECT_EQ(world.Saved(L"Check Ceiling"), L"1");
    EXPECT_EQ(world.Saved(L"Save"), L"0");
}

TEST(WizardRules, TrayWizardAsksBeforeStoppingThePenAndCancelPutsEverythingBack)
{
    CSetupWorld world;
    CDriverState& state = world.m_state;
    state.m_nWizardOrigin = WIZARD_ORIGIN_TRAY;
    state.m_bCeilingMount = 1;
    ASSERT_TRUE(state.m_controller.StartPenTracking());
    CWizardCommits commits(state);
    WIZARD_CHOICES choices = WizardChoicesFrom(state);
    choices.ceilingState = 1;

    // Unchanged pages ask nothing.
    EXPECT_TRUE(commits.CommitNext(WIZARD_MODEL_PAGE, choices));
    EXPECT_TRUE(commits.CommitNext(WIZARD_OPTIONS_PAGE, choices));
    EXPECT_TRUE(world.Boxes().empty());

    choices.model = CALIB_MODEL_NINE;
    world.m_platform.m_nBoxAnswer = NO;
    EXPECT_FALSE(commits.CommitNext(WIZARD_MODEL_PAGE, choices));
    EXPECT_EQ(state.m_nCalibModel, CALIB_MODEL_SIXTEEN);
    EXPECT_TRUE(state.m_controller.m_link.IsReaderRunning());
    world.m_platform.m_nBoxAnswer = YES;
    EXPECT_TRUE(commits.CommitNext(WIZARD_MODEL_PAGE, choices));
    EXPECT_EQ(state.m_nCalibModel, CALIB_MODEL_NINE);
    EXPECT_FALSE(state.m_controller.m_link.IsReaderRunning());
    choices.rearState = 1;
    EXPECT_TRUE(commits.CommitNext(WIZARD_OPTIONS_PAGE, choices));
    EXPECT_EQ(world.Boxes(), (std::vector<std::wstring>{L"M9", L"M9", L"M10"}));
    EXPECT_EQ(state.m_bRearProjection, 1);
    commits.StartProgramClicked(true);
    EXPECT_TRUE(commits.ConfirmAlignment());
    EXPECT_EQ(world.Boxes().back(), L"M3");
    EXPECT_EQ(world.m_platform.m_boxes.back().style, BOX_YESNO | BOX_ICONQUESTION);

    EXPECT_FALSE(commits.Cancel());
    EXPECT_EQ(state.m_nCalibModel, CALIB_MODEL_SIXTEEN);
    EXPECT_EQ(state.m_bRearProjection, 0);
    EXPECT_EQ(state.m_bCeilingMount, 1);
    EXPECT_EQ(state.m_bStartProgram, 0);
    EXPECT_EQ(world.m_platform.PostedToMain(), std::vector<std::uint32_t>{WM_RESTART_TRACKING});

    // Once a calibration has started from the wizard, it keeps the model it calibrates.
    CWizardCommits calibrating(state);
    EXPECT_TRUE(calibrating.CommitNext(WIZARD_MODEL_PAGE, choices));
    calibrating.StartCalibration();
    EXPECT_FALSE(calibrating.Cancel());
    EXPECT_EQ(state.m_nCalibModel, CALIB_MODEL_NINE);
    EXPECT_EQ(world.m_platform.PostedToMain(),
              (std::vector<std::uint32_t>{WM_RESTART_TRACKING, WM_CALIBRATE_NEXT}));
}
