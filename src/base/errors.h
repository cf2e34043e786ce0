#pragma once
// How failures travel, layer by layer. Nothing to include: this header only
// writes down the rule the code keeps, for whoever adds to it.
//
// - Wire clients (src/ftp, src/sftp) and the remote seams over them
//   (transfer::RemoteFiles) throw. An exception carries
//   what happened in its type and the server's own text, untranslated.
//   Above the seam the types are the remote errors of base/remote_errors.h
//   (ConnectionLost, TimedOut, Refused, Cancelled, LocalFileError,
//   TrustDeclined), whatever the protocol: the SFTP client raises them
//   itself, the FTP forms of the seam translate the FTP client's own
//   (remote/ftp_errors.h), whose names stay inside src/ftp and the code
//   that drives that client directly. A worker thread never lets one
//   escape: the operation that started the call catches it where it ends.
// - Local files and folders (src/base, the state files, the site tools)
//   never throw: std::filesystem is called with a std::error_code, and a
//   write answers with a result value (WriteResult: ok, strerror text,
//   errno); a call that makes its own message (naming the file and what it
//   was doing) answers with FileResult (base/file_result.h: ok and that
//   message), or with a struct that adds what it gives back. No call hands
//   its failure out through a `std::string*`.
// - Work over many items (a publish run, a site-wide search, check or
//   replacement) does not stop at the first failure: each item gets its
//   outcome and message in a *Result / *Outcome struct, and the call itself
//   returns normally.
// - The user's message is made in Japanese, UTF-8, by the layer that knows
//   what was being done to which file or server: the core function's result
//   (FileOutcome::error, EntryResult::message, ReplaceOutcome::message) or,
//   for remote calls, the code that caught the exception
//   (transfer::ClientErrorText in the window, MessageOf in the site sync).
//   Below that layer texts are facts (strerror, the server's reply); above
//   it the UI only shows the text, through Prompts or the status line.
// - Input the user typed into a dialog is checked where it is parsed;
//   authoring's forms throw their small parse errors (IntegerConversionError,
//   TableTooLargeError) and the command that runs the form shows the message.
