#pragma once

// The captions of the spaced review (data/template/captions.tsv), by what they are for.
namespace ReviewCaptions {
enum : int
{
    DueCount = 340,        // "Review: %1 due"
    NothingDue = 341,      // "Review: nothing due"
    NextReviewOn = 342,    // nothing due today; "%1" the date of the next review
    NothingStudied = 343,  // nothing due, because nothing was studied yet
    Memory = 344,          // the memory view's title
    NewCount = 345,        // "New: %1"
    LearningCount = 346,   // "Learning: %1"
    KnownCount = 347,      // "Known: %1"
    Forecast = 348,        // the chart of the next 14 days
    Retention = 349,       // "Remembered in the last 30 days: %1 (desired: %2)"
    NoReviewsYet = 350,    // in place of the achieved retention
    DesiredRetention = 351,
    SubjectTitle = 352,    // "Review": the subject of the review's score rows
    Thresholds = 353,      // what new, learning and known mean
};
}
