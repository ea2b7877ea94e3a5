// setup: lists the suite's components found beside this program, lets the
// user choose them in a terminal dialog (adding the prerequisites that are
// not installed yet), and runs each chosen component's installer in turn,
// stopping at the first failure.
//
// Exit code: 0 when the dialog was cancelled or every chosen installer
// succeeded, 1 when an installer failed or the terminal cannot be used.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/setupkit/curses_screen.h"
#include "platform/setupkit/registry_tree.h"
#include "platform/setupkit/setup_environment.h"
#include "platform/text/string_printf.h"
#include "component_catalogue.h"
#include "installer_runner.h"
#include "selection_model.h"
#include "setup_dialog_view.h"

namespace {

void Print(FILE* stream, const std::string& text) {
  std::fputs(text.c_str(), stream);
  std::fflush(stream);
}

}  // namespace

int main(int argc, char** argv) {
  using orla::StringPrintf;
  const std::string base = orla::SetupEnvironment::BaseDirectory(argc > 0 ? argv[0] : nullptr);

  orla::ComponentCatalogue catalogue;
  catalogue.Discover(base);
  catalogue.Arrange();
  const orla::RegistryTree registry = orla::RegistryTree::FromEnvironment();
  orla::SelectionModel model(catalogue, registry);

  orla::SetupDialogView::Result result;
  {
    orla::CursesScreen screen;
    if (!screen.Open()) {
      Print(stderr, "setup: the dialog needs a terminal on standard input and output\n");
      return 1;
    }
    orla::SetupDialogView view(model, screen);
    result = view.Run();
    // The terminal is given back before any installer runs, so that an
    // interactive installer can use it.
    screen.Close();
  }
  if (result == orla::SetupDialogView::Result::kCancel) return 0;

  orla::InstallerRunner runner(orla::SetupEnvironment::ErrorFilePath());
  runner.SetStartListener([](const orla::Component& component, const std::string& command_line) {
    Print(stdout, StringPrintf("setup: running %s%s%s\n", component.directory.c_str(),
                               orla::InstallerRunner::kInstallerName, command_line.c_str()));
  });
  const orla::InstallerRunner::Outcome outcome = runner.Run(model);
  const std::string failure = orla::InstallerRunner::FailureText(outcome);
  if (failure.empty()) return 0;
  Print(stderr, failure);
  return 1;
}
