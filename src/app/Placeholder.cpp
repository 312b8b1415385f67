// This folder's code arrives with its own change.
namespace {}
