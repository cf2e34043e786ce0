#pragma once
// Connects the Ferrox window's transfer buttons, menus and drops to the
// transfer operations and the permission dialog. Called once at start-up,
// after both forms exist.
namespace hemlo {

class TFtp1;
namespace transfer {
class TFtp2;
}

// `permission_dialog` may be null: "パーミション" then does nothing.
void WireTransferOperations(TFtp1& window, transfer::TFtp2* permission_dialog);

}  // namespace hemlo
