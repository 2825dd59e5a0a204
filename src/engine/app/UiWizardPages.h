// The user-interface port's Upgrade Wizard pages: which page, what it edits and how it ends.
#pragma once

// Results of the Upgrade Wizard's pages (besides IDCANCEL).
constexpr int kWizardNext = 101;
constexpr int kWizardTryAgain = 102;
constexpr int kWizardComPort = 103;

// The Upgrade Wizard's modal pages, by their numbers (the power-cycle notice, page 3, is modeless and
// shown on its own). A plain enum: the pages shown are recorded and compared as numbers.
enum EWizardPage : int {
    kWizardPageWelcome = 1,
    kWizardPageCable = 2,
    kWizardPageFileType = 4,
    kWizardPageNoController = 5,
    kWizardPageAnotherFile = 6,
};

// What a wizard page shows and returns: the welcome page's check box, the file type page's choice
// (0 image, 1 page file).
struct WizardPageData {
    bool bShowAtStartup = true;
    int nFileType = 0;
};
