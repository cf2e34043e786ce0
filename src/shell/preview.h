#pragma once
// Preview file rules: where a document's preview is written and the address shown.
