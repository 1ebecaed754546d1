#pragma once

#include "MainWindowParts.h"
#include "TestHarness.h"
#include "core/session/LibrarySession.h"
#include "core/session/LibraryShownRows.h"
#include "ui/app/AppContext.h"
#include "ui/common/StatusLine.h"
#include "ui/extract/BookmarkExtractionFlow.h"
#include "ui/library/LibraryFlowService.h"
#include "ui/mainwindow/MainWindowController.h"
#include "ui/metadata/AutoTagFlow.h"
#include "ui/metadata/MetadataImportFlow.h"

struct OpenWindowContext {
    AppContext context;
};

// The main window with the application context it works with, made first and destroyed last; open
// once the slot read at start is in, as the user finds it.
struct OpenWindow : OpenWindowContext, MainWindowController {
    OpenWindow() : MainWindowController(context)
    {
        if (!TestHarness::waitForCurrentSlot(context.librarySlots()))
            qFatal("the slot read at start did not arrive");
    }
    LibrarySession &library() { return context.library(); }
    LibraryShownRows &shownRows() { return context.shownRows(); }
    // The library flows, as this window starts them.
    LibraryFlowService &flows() { return context.libraryFlows(); }
    BookmarkExtractionFlow *extraction() { return &context.libraryFlows().extraction(); }
    MetadataImportFlow &metadataImports() { return *findChild<MetadataImportFlow *>(); }
    AutoTagFlow &autoTag() { return *findChild<AutoTagFlow *>(); }
    StatusLine &sink() { return *MainWindowParts::child<StatusLine>(*this, QStringLiteral("statusField")); }
};
