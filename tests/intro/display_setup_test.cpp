// Display setup: the chain of DirectDraw calls, what each failure shows and what teardown
// then gives back, as start-up runs it.
#include <gtest/gtest.h>

#include <cstring>

#include "app/app_state.h"
#include "app/shutdown.h"
#include "display/display_setup.h"
#include "runtime/com/com_runtime.h"
#include "runtime/user/window_manager.h"
#include "tests/intro/double_base_support.h"
#include "tests/intro/intro_fixture_support.h"

namespace intro_test {
namespace {

std::vector<std::string> First(size_t count, const std::vector<std::string>& entries) {
    return {entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(count)};
}

using DisplaySetup = IntroTest;

TEST_F(DisplaySetup, EveryStepInOrderThroughTheRightInterface) {
    MakeIntroWindow();
    EXPECT_EQ(InitDirectDraw(), S_OK);
    EXPECT_EQ(Log(), DisplaySetupCalls()) << CompareLines(DisplaySetupCalls(), Log());
    EXPECT_EQ(g_app.comInitialised, 1);
    for (const void* field :
         {static_cast<const void*>(g_app.ddFactory), static_cast<const void*>(g_app.directDraw),
          static_cast<const void*>(g_app.directDraw3),
          static_cast<const void*>(g_app.primarySurface),
          static_cast<const void*>(g_app.offscreenSurface),
          static_cast<const void*>(g_app.clipper)}) {
        EXPECT_NE(field, nullptr);
    }
    EXPECT_EQ(vrel::com::InitCountOnThisThread(), 1);
}

struct SetupFailure {
    int step;
    const char* failing;  // the scripted method
    HRESULT result;
    const char* text;
    size_t callsMade;                   // entries of the chain that ran, the failing one included
    std::vector<std::string> released;  // what teardown then gives back, in order
};

const SetupFailure kSetupFailures[] = {
    {2, "ddclass.CreateInstance", REGDB_E_CLASSNOTREG, "Couldn't create DirectDrawFactory", 1, {}},
    {3,
     "factory.CreateDirectDraw",
     DDERR_GENERIC,
     "Couldn't create DirectDraw object",
     2,
     {"factory.Release"}},
    {4,
     "dd.QueryInterface",
     E_NOINTERFACE,
     "Couldn't get IDirectDraw3",
     3,
     {"factory.Release", "dd.Release"}},
    {5,
     "dd.SetDisplayMode",
     DDERR_INVALIDMODE,
     "Couldn't set display mode",
     4,
     {"factory.Release", "dd3.Release", "dd.Release"}},
    {5,
     "dd.SetDisplayMode",
     S_FALSE,
     "Couldn't set display mode",
     4,
     {"factory.Release", "dd3.Release", "dd.Release"}},
    {5,
     "dd.SetDisplayMode",
     0x00000010,
     "Couldn't set display mode",
     4,
     {"factory.Release", "dd3.Release", "dd.Release"}},
    {6,
     "dd3.CreateSurface(primary)",
     DDERR_INVALIDCAPS,
     "Couldn't create Primary Surface",
     5,
     {"factory.Release", "dd3.Release", "dd.Release"}},
    {7,
     "primary.GetSurfaceDesc",
     DDERR_GENERIC,
     "Couldn't GetSurfaceDesc",
     6,
     {"factory.Release", "primary.Release", "dd3.Release", "dd.Release"}},
    {8,
     "dd3.CreateSurface(offscreen)",
     DDERR_OUTOFMEMORY,
     "Couldn't create Offscreen Surface",
     7,
     {"factory.Release", "primary.Release", "dd3.Release", "dd.Release"}},
    {9,
     "dd3.CreateClipper",
     DDERR_GENERIC,
     "Couldn't create Clipper",
     8,
     {"factory.Release", "primary.Release", "offscreen.Release", "dd3.Release", "dd.Release"}},
    {10,
     "primary.SetClipper",
     DDERR_NOCLIPPERATTACHED,
     "Call to SetClipper failed",
     9,
     {"factory.Release", "primary.Release", "offscreen.Release", "clipper.Release", "dd3.Release",
      "dd.Release"}},
    {11,
     "clipper.SetHWnd",
     DDERR_INVALIDPARAMS,
     "Call to SetHWnd failed",
     10,
     {"factory.Release", "primary.Release", "offscreen.Release", "clipper.Release", "dd3.Release",
      "dd.Release"}},
};

// Start-up with a display setup that fails: its box, teardown of exactly what was made, the
// window still up, the posted Open failing in stream opening (COM is gone by then, and the
// pending quit closes that box at once), exit code 0.
TEST_F(DisplaySetup, EachFailingStepShowsItsTextAndTeardownGivesBackWhatWasMade) {
    for (const SetupFailure& c : kSetupFailures) {
        SCOPED_TRACE(std::string("step ") + std::to_string(c.step) + ", " + c.failing + " -> " +
                     Hex(static_cast<uint32_t>(c.result)));
        TearDown();
        SetUp();
        Script().results[c.failing] = c.result;
        ::testing::internal::CaptureStderr();
        const int exitCode = RunWinMain();
        const std::string errors = ::testing::internal::GetCapturedStderr();

        std::vector<std::string> expected = First(c.callsMade, DisplaySetupCalls());
        expected.push_back(BoxEntry("Error", c.text));
        Append(expected, c.released);
        EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(errors, std::string("[Error] ") + c.text +
                              "\n[Error] Could not create a CLSID_MultiMediaStream object\n"
                              "Check you have run regsvr32 amstream.dll"
                              " (not shown: a quit is pending)\n");
        auto window = vrel::user::WindowManager::Get().Find(g_app.mainWindow);
        ASSERT_TRUE(window.has_value()) << "the window was destroyed";
        EXPECT_TRUE(window->visible);
        EXPECT_EQ(g_app.comInitialised, 0);
        EXPECT_EQ(vrel::com::InitCountOnThisThread(), 0) << "COM uninitialised once";
        EXPECT_EQ(g_app.loaded, 0);
        EXPECT_EQ(g_app.active, 0);
    }
}

// What a failure leaves in the fields until teardown runs, seen from inside its box.
TEST_F(DisplaySetup, AFailureAtTheOffscreenSurfaceLeavesTheEarlierObjectsForTeardown) {
    Script().results["dd3.CreateSurface(offscreen)"] = DDERR_OUTOFMEMORY;
    bool looked = false;
    onBox = [&](const vrel::user::testing::MessageBoxInfo&) {
        looked = true;
        EXPECT_NE(g_app.ddFactory, nullptr);
        EXPECT_NE(g_app.directDraw, nullptr);
        EXPECT_NE(g_app.directDraw3, nullptr);
        EXPECT_NE(g_app.primarySurface, nullptr);
        EXPECT_EQ(g_app.offscreenSurface, nullptr);
        EXPECT_EQ(g_app.clipper, nullptr);
    };
    MakeIntroWindow();
    EXPECT_EQ(InitDirectDraw(), E_FAIL);
    EXPECT_TRUE(looked);
    EXPECT_EQ(CallLog::Count("factory.Release"), 0) << "display setup released something itself";
}

TEST_F(DisplaySetup, TheOffscreenSurfaceTakesWhatGetSurfaceDescReports) {
    DDPIXELFORMAT rgb565{};
    rgb565.dwSize = sizeof(DDPIXELFORMAT);
    rgb565.dwFlags = DDPF_RGB;
    rgb565.dwRGBBitCount = 16;
    rgb565.dwRBitMask = 0xF800;
    rgb565.dwGBitMask = 0x07E0;
    rgb565.dwBBitMask = 0x001F;
    Script().screenWidth = 800;
    Script().screenHeight = 600;
    Script().pixelFormat = rgb565;
    StartDisplay();

    DDSURFACEDESC expected{};
    expected.dwSize = sizeof(DDSURFACEDESC);
    expected.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    expected.dwWidth = 800;
    expected.dwHeight = 600;
    expected.ddpfPixelFormat = rgb565;
    expected.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    const DDSURFACEDESC offscreen = CreatedDescription("offscreen");
    EXPECT_EQ(std::memcmp(&offscreen, &expected, sizeof expected), 0)
        << "offscreen: size " << offscreen.dwSize << " flags " << Hex(offscreen.dwFlags) << " "
        << offscreen.dwWidth << "x" << offscreen.dwHeight << " bits "
        << offscreen.ddpfPixelFormat.dwRGBBitCount << " caps " << Hex(offscreen.ddsCaps.dwCaps);

    DDSURFACEDESC primary{};
    primary.dwSize = sizeof(DDSURFACEDESC);
    primary.dwFlags = DDSD_CAPS;
    primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    const DDSURFACEDESC created = CreatedDescription("primary");
    EXPECT_EQ(std::memcmp(&created, &primary, sizeof primary), 0)
        << "primary: size " << created.dwSize << " flags " << Hex(created.dwFlags) << " caps "
        << Hex(created.ddsCaps.dwCaps);
}

// ---- COM around display setup and teardown. ----

// CoInitialize answers S_FALSE when COM is already up on the thread: that still counts as
// initialised, and teardown balances exactly that one call.
TEST_F(DisplaySetup, WithComAlreadyInitialisedTeardownBalancesOnlyItsOwnCall) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    StartDisplay();
    EXPECT_EQ(g_app.comInitialised, 1);
    EXPECT_EQ(vrel::com::InitCountOnThisThread(), 2);
    Shutdown();
    EXPECT_EQ(g_app.comInitialised, 0);
    EXPECT_EQ(vrel::com::InitCountOnThisThread(), 1) << "the outer initialisation must stay";
    CoUninitialize();
}

// The state a failed CoInitialize leaves (comInitialised 0): teardown leaves COM alone.
// (The runtime's CoInitialize cannot be made to fail, so the failure itself is not run.)
TEST_F(DisplaySetup, TeardownWithoutComInitialisedSkipsCoUninitialize) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    MakeIntroWindow();
    Shutdown();
    EXPECT_EQ(vrel::com::InitCountOnThisThread(), 1);
    CoUninitialize();
}

TEST_F(DisplaySetup, TeardownTwiceReleasesNothingTheSecondTimeAndUninitialisesComOnce) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);  // an outer count shows a second CoUninitialize
    StartDisplay();
    CallLog::Clear();
    Shutdown();
    const std::vector<std::string> released = {"factory.Release",   "primary.Release",
                                               "offscreen.Release", "clipper.Release",
                                               "dd3.Release",       "dd.Release"};
    EXPECT_EQ(Log(), released) << CompareLines(released, Log());
    EXPECT_TRUE(QuitPending());
    EXPECT_EQ(vrel::com::InitCountOnThisThread(), 1);

    Shutdown();
    EXPECT_EQ(Log(), released) << "the second teardown released something";
    EXPECT_TRUE(QuitPending());
    EXPECT_EQ(vrel::com::InitCountOnThisThread(), 1) << "COM was uninitialised twice";
    CoUninitialize();
}

}  // namespace
}  // namespace intro_test
