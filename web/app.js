// The explorer page of plovo --serve.
