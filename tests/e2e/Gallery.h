#pragma once
// A pop-up with one control of every kind, for the browser test to check that the page
// draws and reports each of them (shown with --gallery).
#include "ui/Dialog.h"

namespace kaptiv::e2e {

class Gallery final : public ui::Dialog {
public:
    static constexpr int kDialogId = 900;
    explicit Gallery(ui::WindowSystem& windows);

    void OnInitDialog() override;
    void OnClick(int controlId) override;
    void OnDoubleClick(int controlId, ui::ListHit hit) override;
    void OnEndLabelEdit(int controlId, ui::ListHit cell, const std::optional<std::string>& text) override;
    void OnSelChange(int controlId) override;
    void OnEditChange(int controlId) override;
    void OnCheckChange(int controlId) override;
    void OnScroll(int controlId, int position) override;
    void OnTimer(int timerId) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    static constexpr int kLcnColumn = 2;
    // An editor opened on this row is ended by the program itself after kCloseEditMs, as
    // the settings page ends one whose service moved.
    static constexpr int kClosedByProgramRow = 4;
    static constexpr int kCloseEditTimer = 1;
    static constexpr int64_t kCloseEditMs = 1500;
    void Report(const std::string& what);
};

} // namespace kaptiv::e2e
