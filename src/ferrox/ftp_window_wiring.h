#pragma once
// Connects the Ferrox window's transfer buttons, menus and drops to the
// transfer operations and the permission dialog. Called once at start-up,
// after both forms exist.
namespace hemlo {

class TFtp1;
namespace transfer {
class TFtp2;
}

namespace transfer_ui {
class PublishCommand;
}

// `permission_dialog` may be null: "パーミション" then does nothing.
void WireTransferOperations(TFtp1& window, transfer::TFtp2* permission_dialog);

// The command behind ↑変更分を公開 and 保存して公開, made by
// WireTransferOperations; null before.
transfer_ui::PublishCommand* PublishCommandOf(TFtp1& window);

}  // namespace hemlo
