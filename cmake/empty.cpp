// Placeholder so that a library without sources yet still configures; removed when all have sources.
