#pragma once

class CommandHost;
class RecoveryWriter;

// At start-up: tells the user when unsaved snapshots cannot be kept, or when their folder was
// open to other users, then asks about each recovery file left by a run that is gone and
// restores those the user wants, unsaved, into the list the session names.
class RecoveryOffer {
public:
    RecoveryOffer(RecoveryWriter &writer, CommandHost &host);
    void run();

private:
    void tellAboutFolder();

    RecoveryWriter &m_writer;
    CommandHost &m_host;
};
