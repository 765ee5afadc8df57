#pragma once

class CTPage;
class QWidget;

// The page factory of the page host: the status (133), logo (136) and
// parameter (137) pages on the process-wide record store; null for other ids.
CTPage* MakeOperatorPage(int pageId, QWidget* host);
