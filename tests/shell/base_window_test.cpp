// The window base of the view and the toolbars: which messages reach the
// object, and who destroys the window when.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "platform/base_window.h"
#include "platform/scoped_handle.h"
#include "test_window.h"

namespace {

constexpr UINT pingMessage = WM_APP + 7;
constexpr LRESULT pingAnswer = 4242;

// Records the messages that reach it into a list that outlives it.
class RecordingWindow : public platform::BaseWindow {
  public:
    explicit RecordingWindow(std::vector<UINT>& heard) : heard_(heard) {}
    ~RecordingWindow() override = default;

    bool open(HWND parent, DWORD style) {
        platform::WindowClass windowClass;
        windowClass.name = "BaseWindowTest";
        platform::WindowPlacing placing;
        placing.style = style;
        placing.rectangle = RECT{0, 0, 40, 30};
        placing.parent = parent;
        return create(windowClass, placing);
    }
    using BaseWindow::stopMessages;
    using BaseWindow::window;

  private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        heard_.push_back(message);
        if (message == pingMessage) {
            return pingAnswer;
        }
        return defaultHandling(message, wParam, lParam);
    }

    std::vector<UINT>& heard_;
};

bool heardMessage(const std::vector<UINT>& heard, UINT message) {
    return std::find(heard.begin(), heard.end(), message) != heard.end();
}

platform::UniqueWindow makeParent() {
    test_support::TestWindowOptions options;
    options.className = "BaseWindowTestParent";
    options.style = WS_OVERLAPPEDWINDOW;
    return test_support::createTestWindow(options);
}

// One recorded window, with a parent or owner for it.
class BaseWindowTest : public ::testing::Test {
  protected:
    // Opens the recorded window with `style` under the parent; its handle.
    HWND open(DWORD style) {
        EXPECT_TRUE(object_->open(parent_.get(), style));
        return object_->window();
    }
    // How many messages reached the object after `action`, with none before.
    template <typename Action>
    std::size_t heardDuring(Action action) {
        const std::size_t before = heard_.size();
        action();
        return heard_.size() - before;
    }

    std::vector<UINT> heard_;
    std::unique_ptr<RecordingWindow> object_ = std::make_unique<RecordingWindow>(heard_);
    platform::UniqueWindow parent_ = makeParent();
};

TEST_F(BaseWindowTest, MessagesReachTheObjectFromCreationToTheLastOne) {
    const HWND window = open(WS_POPUP);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(heard_.front(), static_cast<UINT>(WM_NCCREATE));
    EXPECT_TRUE(heardMessage(heard_, WM_CREATE));
    EXPECT_EQ(SendMessageA(window, pingMessage, 0, 0), pingAnswer);

    // Destroyed from outside, as a parent destroys its children.
    DestroyWindow(window);
    EXPECT_EQ(heard_.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_TRUE(heardMessage(heard_, WM_DESTROY));
    EXPECT_EQ(object_->window(), nullptr);
}

TEST_F(BaseWindowTest, AChildGoesWithItsParentAndTheObjectAfterwardsTouchesNothing) {
    const HWND child = open(WS_CHILD);
    parent_.reset();
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(object_->window(), nullptr);
    EXPECT_EQ(heard_.back(), static_cast<UINT>(WM_NCDESTROY));

    // A new window may take the handle's place; the object leaves it alone.
    const platform::UniqueWindow other = makeParent();
    EXPECT_EQ(heardDuring([&] { object_.reset(); }), 0u);
    EXPECT_TRUE(IsWindow(other.get()));
}

TEST_F(BaseWindowTest, APopupGoesWithItsObjectWhichDoesNotHearItsLastMessages) {
    const HWND popup = open(WS_POPUP);
    // The object is being destroyed: WM_DESTROY goes to the system's handling.
    EXPECT_EQ(heardDuring([&] { object_.reset(); }), 0u);
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_TRUE(IsWindow(parent_.get()));
}

TEST_F(BaseWindowTest, AChildOutlivesItsObjectWithItsParentAndItsMessagesGoToTheSystem) {
    const HWND child = open(WS_CHILD);
    object_.reset();
    ASSERT_TRUE(IsWindow(child));
    EXPECT_EQ(heardDuring([&] {
                  EXPECT_EQ(SendMessageA(child, pingMessage, 0, 0), 0);
                  parent_.reset();
              }),
              0u);
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(BaseWindowTest, StoppedMessagesGoToTheSystemAndTheWindowStaysUntilTheObjectGoes) {
    const HWND window = open(WS_POPUP);
    object_->stopMessages();
    EXPECT_EQ(heardDuring([&] { EXPECT_EQ(SendMessageA(window, pingMessage, 0, 0), 0); }), 0u);
    EXPECT_TRUE(IsWindow(window));
    object_.reset();
    EXPECT_FALSE(IsWindow(window));
}

TEST(BaseWindowMessageOnlyTest, AMessageOnlyWindowHearsPostedMessagesMeantForIt) {
    std::vector<UINT> heard;
    std::vector<UINT> heardByOther;
    RecordingWindow object(heard);
    RecordingWindow other(heardByOther);
    ASSERT_TRUE(object.open(HWND_MESSAGE, 0));
    ASSERT_TRUE(other.open(HWND_MESSAGE, 0));
    EXPECT_NE(FindWindowExA(HWND_MESSAGE, nullptr, "BaseWindowTest", nullptr), nullptr);

    ASSERT_TRUE(PostMessageA(object.window(), pingMessage, 0, 0));
    EXPECT_TRUE(test_support::pumpUntil([&] { return heardMessage(heard, pingMessage); },
                                        std::chrono::seconds(5)));
    // Each window's messages reach its own object only.
    EXPECT_FALSE(heardMessage(heardByOther, pingMessage));
}

}  // namespace
