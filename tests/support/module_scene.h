// A desktop with the simulated Excel, a working folder holding the files an
// exercise delivers, and a Module to drive: the scene of the host module's
// tests.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "module/module.h"
#include "sim/desktop.h"
#include "tests/support/question_factice.h"
#include "tests/support/workbook_document.h"

namespace test_support {

class ModuleScene {
 public:
  ModuleScene() : desktop(std::make_shared<sim::Desktop>(Options())) {}

  // The module with the chapter's exercises, or with `fabrique`.
  r58267::Module& Module(r58267::FabriqueQuestion fabrique = {}) {
    if (!module) module = std::make_unique<r58267::Module>(desktop, std::move(fabrique));
    return *module;
  }

  // Delivers a workbook document under the name the course delivers it.
  void Deliver(const WorkbookDocument& document, const std::string& nomSource) const {
    document.Save(work.Path(), nomSource);
  }

  // InitQuestion as the host calls it, with the host's own variables.
  void Init(long question) { Module().InitQuestion(question, work.Text(), application, handle); }

  [[nodiscard]] std::shared_ptr<sim::ExcelApplication> Excel() const {
    return std::dynamic_pointer_cast<sim::ExcelApplication>(application);
  }
  [[nodiscard]] std::string TemplateFolder() const { return templates.Text() + "ORVA Modèles/"; }

  TempFolder work;
  TempFolder templates;
  TempFolder library;
  std::shared_ptr<sim::Desktop> desktop;
  std::unique_ptr<r58267::Module> module;
  std::shared_ptr<excel::Application> application;
  api::Hwnd handle = 0;

 private:
  sim::DesktopOptions Options() const {
    sim::DesktopOptions options;
    options.templatesPath = templates.Text();
    options.libraryFolder = library.Path().string();
    return options;
  }
};

// A factory making QuestionFactice objects for every number, each set up by
// `prepare` once created.
inline r58267::FabriqueQuestion FabriqueFactice(std::vector<std::pair<std::string, std::string>> fichiers,
                                                bool ouvre = true,
                                                std::function<void(QuestionFactice&)> teste = {},
                                                std::shared_ptr<QuestionFactice>* derniere = nullptr) {
  return [=](long numero) -> std::shared_ptr<r58267::Question> {
    auto question = std::make_shared<QuestionFactice>(numero, fichiers, ouvre);
    question->teste = teste;
    if (derniere != nullptr) *derniere = question;
    return question;
  };
}

}  // namespace test_support
