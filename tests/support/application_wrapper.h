// Forwards every member of an Application to another one, so that a test
// overrides the one member where Excel should fail.
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

  std::shared_ptr<excel::Workbooks> Workbooks() override { return target_->Workbooks(); }
  std::shared_ptr<excel::Workbook> ActiveWorkbook() override { return target_->ActiveWorkbook(); }
  std::shared_ptr<excel::Worksheet> ActiveSheet() override { return target_->ActiveSheet(); }
  std::shared_ptr<excel::Window> ActiveWindow() override { return target_->ActiveWindow(); }
  std::shared_ptr<excel::Windows> Windows() override { return target_->Windows(); }
  std::shared_ptr<excel::Sheets> Sheets() override { return target_->Sheets(); }
  std::shared_ptr<excel::Sheets> Worksheets() override { return target_->Worksheets(); }
  std::shared_ptr<excel::Range> Range(const std::string& address) override { return target_->Range(address); }
  std::shared_ptr<excel::Range> Cells(long row, long column) override { return target_->Cells(row, column); }
  std::shared_ptr<excel::Selection> Selection() override { return target_->Selection(); }
  std::shared_ptr<excel::WorksheetFunction> WorksheetFunction() override {
    return target_->WorksheetFunction();
  }
  std::shared_ptr<excel::CommandBars> CommandBars() override { return target_->CommandBars(); }
  vb::Variant Run(const std::string& macro, const std::vector<vb::Variant>& arguments) override {
    return target_->Run(macro, arguments);
  }
  vb::Variant ExecuteExcel4Macro(const std::string& text) override {
    return target_->ExecuteExcel4Macro(text);
  }
  std::string TemplatesPath() override { return target_->TemplatesPath(); }
  bool ShowToolTips() override { return target_->ShowToolTips(); }
  void ShowToolTips(bool value) override { target_->ShowToolTips(value); }
  long DisplayCommentIndicator() override { return target_->DisplayCommentIndicator(); }
  void DisplayCommentIndicator(long value) override { target_->DisplayCommentIndicator(value); }
  bool DisplayFullScreen() override { return target_->DisplayFullScreen(); }
  void DisplayFullScreen(bool value) override { target_->DisplayFullScreen(value); }
  bool ShowStartupDialog() override { return target_->ShowStartupDialog(); }
  void ShowStartupDialog(bool value) override { target_->ShowStartupDialog(value); }
  bool Visible() override { return target_->Visible(); }
  void Visible(bool value) override { target_->Visible(value); }
  void Quit() override { target_->Quit(); }

 protected:
  excel::Application& Target() { return *target_; }

 private:
  std::shared_ptr<excel::Application> target_;
};

}  // namespace test_support
