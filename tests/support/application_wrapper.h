// Forwards every member of an Application to another one, so that a test
// overrides the one member where Excel should fail, or Before() to make
// every member fail.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/excel.h"

namespace test_support {

class ApplicationWrapper : public excel::Application {
 public:
  explicit ApplicationWrapper(std::shared_ptr<excel::Application> target) : target_(std::move(target)) {}

  std::shared_ptr<excel::Workbooks> Workbooks() override {
    Before();
    return target_->Workbooks();
  }
  std::shared_ptr<excel::Workbook> ActiveWorkbook() override {
    Before();
    return target_->ActiveWorkbook();
  }
  std::shared_ptr<excel::Worksheet> ActiveSheet() override {
    Before();
    return target_->ActiveSheet();
  }
  std::shared_ptr<excel::Window> ActiveWindow() override {
    Before();
    return target_->ActiveWindow();
  }
  std::shared_ptr<excel::Windows> Windows() override {
    Before();
    return target_->Windows();
  }
  std::shared_ptr<excel::Sheets> Sheets() override {
    Before();
    return target_->Sheets();
  }
  std::shared_ptr<excel::Sheets> Worksheets() override {
    Before();
    return target_->Worksheets();
  }
  std::shared_ptr<excel::Range> Range(const std::string& address) override {
    Before();
    return target_->Range(address);
  }
  std::shared_ptr<excel::Range> Cells(long row, long column) override {
    Before();
    return target_->Cells(row, column);
  }
  std::shared_ptr<excel::Selection> Selection() override {
    Before();
    return target_->Selection();
  }
  std::shared_ptr<excel::WorksheetFunction> WorksheetFunction() override {
    return target_->WorksheetFunction();
  }
  std::shared_ptr<excel::CommandBars> CommandBars() override {
    Before();
    return target_->CommandBars();
  }
  vb::Variant Run(const std::string& macro, const std::vector<vb::Variant>& arguments) override {
    Before();
    return target_->Run(macro, arguments);
  }
  vb::Variant ExecuteExcel4Macro(const std::string& text) override {
    return target_->ExecuteExcel4Macro(text);
  }
  std::string TemplatesPath() override {
    Before();
    return target_->TemplatesPath();
  }
  bool ShowToolTips() override {
    Before();
    return target_->ShowToolTips();
  }
  void ShowToolTips(bool value) override {
    Before();
    target_->ShowToolTips(value);
  }
  long DisplayCommentIndicator() override {
    Before();
    return target_->DisplayCommentIndicator();
  }
  void DisplayCommentIndicator(long value) override {
    Before();
    target_->DisplayCommentIndicator(value);
  }
  bool DisplayFullScreen() override {
    Before();
    return target_->DisplayFullScreen();
  }
  void DisplayFullScreen(bool value) override {
    Before();
    target_->DisplayFullScreen(value);
  }
  bool ShowStartupDialog() override {
    Before();
    return target_->ShowStartupDialog();
  }
  void ShowStartupDialog(bool value) override {
    Before();
    target_->ShowStartupDialog(value);
  }
  bool Visible() override {
    Before();
    return target_->Visible();
  }
  void Visible(bool value) override {
    Before();
    target_->Visible(value);
  }
  void Quit() override {
    Before();
    target_->Quit();
  }

 protected:
  excel::Application& Target() { return *target_; }
  // Runs before every forwarded member: where a test makes Excel fail.
  virtual void Before() {}

 private:
  std::shared_ptr<excel::Application> target_;
};

// An Excel whose Selection fails with a given error, as reading an answer
// control's state can.
class FailingSelectionExcel : public ApplicationWrapper {
 public:
  FailingSelectionExcel(std::shared_ptr<excel::Application> target, long number)
      : ApplicationWrapper(std::move(target)), number_(number) {}
  std::shared_ptr<excel::Selection> Selection() override {
    throw vb::Error(number_, "injected", "Injected source");
  }

 private:
  long number_;
};

}  // namespace test_support
