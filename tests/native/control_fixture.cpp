#include "control_fixture.h"

void RecordedWindow::BlockingWait(std::uint32_t milliseconds)
{
    effects.push_back("BlockingWait " + std::to_string(milliseconds));
}

void RecordedWindow::ShowOverclockOptionMessage()
{
    effects.push_back("ShowOverclockOptionMessage");
    if (whileMessageIsOpen) {
        whileMessageIsOpen();
    }
}

void RecordedWindow::EnableModeControls(bool enable)
{
    effects.push_back("EnableModeControls " + std::to_string(enable));
}

void RecordedWindow::SetModeRadios(bool overclock)
{
    effects.push_back("SetModeRadios " + std::to_string(overclock));
}

int RecordedWindow::OverclockRadioState()
{
    return radio;
}

void RecordedWindow::EndModalLoop()
{
    effects.push_back("EndModalLoop");
}

ControlFixture::~ControlFixture()
{
    fake_firmware::Reset();
}

void ControlFixture::Start(fake_firmware::ServiceValues values, const std::string& plan,
                           bool driverInitialised)
{
    policy.reset();
    overclock.reset();
    driver.reset();
    library.reset();
    calls.clear();
    window.effects.clear();
    window.whileMessageIsOpen = nullptr;
    fake_firmware::Reset();
    fake_firmware::RunService(values);

    std::string error;
    const std::optional<StandInPlan> parsed = StandInPlan::Parse(plan, &error);
    ASSERT_TRUE(parsed.has_value()) << error;
    library = std::make_unique<FakeDriverLibrary>(*parsed);
    driver = std::make_unique<NvApi>(*library);
    if (driverInitialised) {
        ASSERT_EQ(driver->NvAPI_Initialize(), NVAPI_OK);
        ASSERT_TRUE(driver->EnumerateGpus());
    }
    // From here on, firmware commands and entry calls in one log.
    library->Log().clear();
    standin_driver::Install(*parsed, [this](const std::string& line) {
        if (line.rfind("nvapi_QueryInterface", 0) != 0) {
            calls.push_back(line);
        }
    });
    fake_firmware::Observe([this](const std::string& command) { calls.push_back(command); });
    overclock = std::make_unique<OverclockSwitch>(*driver, window);
    policy = std::make_unique<EventPolicy>(*overclock, window);
}
