#pragma once
// Shared parts in the frame: 挿入 › 共通部品..., サイト › 共通部品をすべて
// 更新, and the question after a part (.lbi) is saved.
namespace hemlo {

class FrameSiteHost;
class TMainForm;

void WireSharedParts(TMainForm& frame, FrameSiteHost& host);

}  // namespace hemlo
